#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// One listening TCP socket and its accept thread for a server of the
// simulator. Every accepted connection is served by the handler on a thread of
// its own; the handler owns the descriptor (closes it, or hands it on).
//
// The listener bounds what clients can take: at most nMaxConnections at once,
// a connection whose thread cannot be created is refused rather than ending
// the process, and when every slot is taken the connection that has been
// silent longest (both ways, at least IdleEvictionMs()) is closed to make room.
class CListener
{
public:
    using Handler = std::function<void(int nFd)>;

    static constexpr size_t kDefaultMaxConnections = 128;
    // Idle time after which a connection may give its slot to a new client;
    // below it the new client is refused instead. Shared by every listener.
    static void SetIdleEvictionMs(int nMs) { s_nIdleEvictionMs = nMs; }
    static int IdleEvictionMs() { return s_nIdleEvictionMs; }
    // Milliseconds since data last went either way on a connected socket.
    static int64_t SilentMs(int nFd);

    CListener() = default;
    ~CListener();
    CListener(const CListener&) = delete;
    CListener& operator=(const CListener&) = delete;

    // Binds strAddress:uPort (0 = ephemeral) and starts accepting. Connections
    // beyond nMaxConnections are refused, so that clients cannot exhaust the
    // process's threads.
    bool Start(const std::string& strAddress, uint16_t uPort, Handler handler, std::string& strError,
               size_t nMaxConnections = kDefaultMaxConnections);
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
    bool MakeRoomLocked();
    bool WaitForSlot();
    void RefuseWhileOutOfDescriptors();

    static std::atomic<int> s_nIdleEvictionMs;

    Handler m_handler;
    size_t m_nMaxConnections = 0;
    int m_nListenFd = -1;
    int m_nSpareFd = -1; // given up for a moment to accept and close when descriptors run out
    uint16_t m_uPort = 0;
    std::atomic<bool> m_bStop{false};
    std::thread m_thrAccept;
    std::mutex m_mtx;
    std::list<std::unique_ptr<SConnection>> m_lstConnections;
};
