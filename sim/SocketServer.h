#pragma once

#include "Server.h"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

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
    uint16_t Port() const override { return m_uPort; }
    std::string AnnounceLine() const override;

private:
    struct SConnection
    {
        int nFd = -1;
        std::shared_ptr<CDevice> pDevice;
        std::thread thrReader;
        std::thread thrWriter;
        std::atomic<bool> bInputEnded{false};
        std::atomic<bool> bWriterDone{false};
        std::atomic<bool> bDone{false}; // both threads have finished
    };

    void AcceptLoop();
    void ReaderLoop(SConnection* pConn);
    void WriterLoop(SConnection* pConn);
    void ReapFinished(bool bAll);

    std::shared_ptr<CDeviceRegistry> m_pRegistry;
    std::string m_strAddress;
    uint16_t m_uPort = 0;
    int m_nListenFd = -1;
    std::atomic<bool> m_bStopping{false};
    std::thread m_thrAccept;
    mutable std::mutex m_mtx;
    std::list<std::unique_ptr<SConnection>> m_lstConnections;
    unsigned m_uNextId = 0;
};
