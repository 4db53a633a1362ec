#pragma once

#include "Listener.h"
#include "Server.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>

class CDeviceRegistry;
class CDevice;

// Raw SCPI over TCP: every connection gets its own message exchange over the
// shared instrument state; LF ends a program message and every response.
class CSocketServer : public CServer
{
public:
    explicit CSocketServer(std::shared_ptr<CDeviceRegistry> pRegistry);
    ~CSocketServer() override;

    bool Start(const std::string& strBindAddress, uint16_t uPort, std::string& strError) override;
    void Stop() override;
    uint16_t Port() const override { return m_listener.Port(); }
    std::string AnnounceLine() const override;

private:
    struct SConnection
    {
        int nFd = -1;
        std::shared_ptr<CDevice> pDevice;
        std::atomic<bool> bInputEnded{false};
        std::atomic<bool> bWriterDone{false};
    };

    void Serve(int nFd);
    void ReaderLoop(SConnection* pConn);
    void WriterLoop(SConnection* pConn);

    std::shared_ptr<CDeviceRegistry> m_pRegistry;
    std::string m_strAddress;
    std::atomic<bool> m_bStopping{false};
    std::atomic<unsigned> m_uNextId{0};
    std::mutex m_mtx;
    std::set<std::shared_ptr<CDevice>> m_setDevices; // of the connections being served
    CListener m_listener;
};
