#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Server.h"
#include "vxi11_proto.h"
#include "RpcTcpServer.h"

struct sockaddr_storage;

// A portmapper (program 100000) on TCP and UDP, enough for VXI-11 clients
// and rpcinfo: v2 NULL, SET, UNSET, GETPORT and DUMP; rpcbind v3/v4 calls get
// PROG_MISMATCH 2..2 so libtirpc falls back to v2. When the port is taken by
// a running rpcbind (port 111 only), the mappings are registered there
// instead and withdrawn again on Stop().
class CPortmapServer : public CServer, private CRpcTcpServer
{
public:
    CPortmapServer() = default;
    ~CPortmapServer() override;

    // Mappings to announce besides the portmapper's own; set before Start().
    void AddMapping(uint32_t uProg, uint32_t uVers, uint32_t uProt, uint16_t uPort);

    bool Start(const std::string& strBindAddress, uint16_t uPort, std::string& strError) override;
    void Stop() override;
    uint16_t Port() const override { return m_uPort; }
    std::string AnnounceLine() const override;
    // True when the mappings went to a running rpcbind rather than our own listener.
    bool RegisteredWithRpcbind() const { return m_bRegistered; }

    // The v2 procedures, for one datagram or record from peer; used by both
    // transports. SET and UNSET are refused unless the peer is privileged.
    velq::xdr_bytes Answer(const velq::rpc_call_info& call, velq::xdr_reader& args, const sockaddr_storage& peer);

private:
    EAction OnCall(SConnection& conn, const velq::rpc_call_info& call, velq::xdr_reader& args,
                   velq::xdr_bytes& baReply) override;
    bool BindUdp(const std::string& strAddress, uint16_t uPort, std::string& strError);
    void BindBroadcast(const std::string& strAddress, uint16_t uPort);
    void UdpLoop();
    bool RegisterWithRpcbind(bool bSet, std::string& strError);

    std::mutex m_mtx;
    std::vector<velq::pmap_mapping> m_lstMappings; // ours first, then what SET added
    size_t m_nOwnMappings = 0;
    std::vector<velq::pmap_mapping> m_lstForeign; // what we registered elsewhere
    uint16_t m_uPort = 0;
    int m_nUdpFd = -1;
    int m_nBroadcastFd = -1; // receives only; answers leave from m_nUdpFd, the host's own address
    std::atomic<bool> m_bUdpStop{false};
    std::thread m_udpThread;
    bool m_bRegistered = false;
};
