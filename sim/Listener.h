#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// One listening TCP socket and its accept thread for a server of the
// simulator. Every accepted connection is served by the handler on a thread of
// its own; the handler owns the descriptor (closes it, or hands it on).
class CListener
{
public:
    using Handler = std::function<void(int nFd)>;

    CListener() = default;
    ~CListener();
    CListener(const CListener&) = delete;
    CListener& operator=(const CListener&) = delete;

    // Binds strAddress:uPort (0 = ephemeral) and starts accepting. Connections
    // beyond nMaxConnections are refused, so that clients cannot exhaust the
    // process's threads.
    bool Start(const std::string& strAddress, uint16_t uPort, Handler handler, std::string& strError,
               size_t nMaxConnections = std::numeric_limits<size_t>::max());
    // Stops accepting, runs fnWake (for waits that no socket ends), shuts down
    // the socket of every handler still running (which ends its blocking
    // receive) and joins every connection thread.
    void Stop(const std::function<void()>& fnWake = {});
    bool IsStopping() const { return m_bStop; }
    uint16_t Port() const { return m_uPort; }
    // For a handler that is done with its socket: closed under the lock with
    // which Stop() shuts sockets down, so Stop() never hits a reused number.
    void Close(int& nFd);

private:
    struct SConnection
    {
        int nFd = -1;
        std::atomic<bool> bDone{false};
        std::thread thread;
    };

    void AcceptLoop();
    void Reap(bool bAll);

    Handler m_handler;
    size_t m_nMaxConnections = 0;
    int m_nListenFd = -1;
    uint16_t m_uPort = 0;
    std::atomic<bool> m_bStop{false};
    std::thread m_thrAccept;
    std::mutex m_mtx;
    std::list<std::unique_ptr<SConnection>> m_lstConnections;
};
