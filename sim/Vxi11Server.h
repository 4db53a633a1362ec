#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "Server.h"
#include "RpcTcpServer.h"

class CDevice;
namespace velq { struct vxi11_read_parms; }
class CDeviceRegistry;

// The VXI-11 core channel (program 0x0607AF v1). Links name devices of the
// registry ("inst0", "inst1", ...), so every link to one name shares one
// IEEE 488.2 message exchange. Links and locks die with their connection.
// There is no abort channel (abortPort 0) and no interrupt channel.
class CVxi11Server : public CServer, private CRpcTcpServer
{
public:
    static constexpr uint32_t kMaxRecvSize = 1024;

    explicit CVxi11Server(std::shared_ptr<CDeviceRegistry> pRegistry);
    ~CVxi11Server() override;

    bool Start(const std::string& strBindAddress, uint16_t uPort, std::string& strError) override;
    void Stop() override;
    uint16_t Port() const override { return ListenPort(); }
    std::string AnnounceLine() const override;

    // Device names this server accepts in create_link.
    static bool IsValidDeviceName(const std::string& strName);

private:
    struct SLink
    {
        std::shared_ptr<CDevice> pDevice;
        uint64_t uOwner = 0;
    };

    // Bytes already taken from a device's response but not yet delivered,
    // because a device_read with termchrset stopped at the termination
    // character in the middle of them.
    struct SPending
    {
        std::string strData;
        bool bEnd = false;
    };

    // One call on its way through the procedure table.
    struct SCall
    {
        SConnection& conn;
        uint32_t uProc;
        velq::xdr_reader& args;
        velq::xdr_bytes baResults;
        EAction eAction;
    };
    // One procedure of the core channel: decodes its arguments (false:
    // garbage), acts and leaves its results in the call.
    struct SProcedure
    {
        uint32_t uProc;
        bool (CVxi11Server::*pHandler)(SCall& call);
    };
    static const SProcedure s_aProcedures[];

    bool ProcNull(SCall& call);
    bool ProcCreateLink(SCall& call);
    bool ProcDeviceWrite(SCall& call);
    bool ProcDeviceRead(SCall& call);
    bool ProcGeneric(SCall& call); // readstb, trigger, clear, remote, local
    bool ProcDeviceLock(SCall& call);
    bool ProcUnlockOrDestroy(SCall& call);
    bool ProcDocmd(SCall& call);
    bool ProcNotSupported(SCall& call);

    EAction OnCall(SConnection& conn, const velq::rpc_call_info& call, velq::xdr_reader& args,
                   velq::xdr_bytes& baReply) override;
    void OnDisconnect(SConnection& conn) override;
    void OnStopping() override;
    size_t MaxRecord() const override;

    velq::xdr_bytes CreateLink(SConnection& conn, velq::xdr_reader& args, bool& bGarbage);
    velq::xdr_bytes DeviceRead(SLink& link, int nFd, const velq::vxi11_read_parms& parms, EAction& eAction,
                         std::string& strTail);
    int32_t CheckLock(SLink& link, uint32_t uFlags, uint32_t uLockTimeout);
    SLink* FindLink(SConnection& conn, int32_t nLid);
    void ReleaseLink(SLink& link);
    void DropPending(CDevice* pDevice);
    void ForgetIfUnlinkedLocked(const CDevice* pDevice);
    bool TakePending(CDevice* pDevice, size_t nMax, std::string& strData, bool& bEnd);
    void Park(CDevice* pDevice, const std::string& strData, bool bEnd);

    std::shared_ptr<CDeviceRegistry> m_pRegistry;
    std::mutex m_mtx;
    std::map<uint64_t, std::map<int32_t, SLink>> m_mapLinks; // by connection id
    std::map<CDevice*, SPending> m_mapPending;
    int32_t m_nNextLid = 1;
    std::string m_strAddress = "127.0.0.1";
};
