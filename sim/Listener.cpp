#include "Listener.h"

#include "SocketUtil.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// How often the accept thread looks at the stop flag and reaps finished connections.
constexpr int kPollMs = 200;
// How long the accept thread rests when the process is out of descriptors or
// memory, so that it never spins on a socket it cannot accept.
constexpr int kOutOfResourcesPauseMs = 50;
// How long a new client waits in accept for an evicted connection to end.
constexpr int kEvictionWaitMs = 1000;
}

std::atomic<int> CListener::s_nIdleEvictionMs{30000};

CListener::~CListener()
{
    Stop();
}

bool CListener::Start(const std::string& strAddress, uint16_t uPort, Handler handler, std::string& strError,
                      size_t nMaxConnections)
{
    m_nListenFd = SimSocket::Listen(strAddress, uPort, m_uPort, strError);
    if (m_nListenFd < 0)
        return false;
    m_handler = std::move(handler);
    m_nMaxConnections = nMaxConnections;
    m_nSpareFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    m_bStop = false;
    m_thrAccept = std::thread(&CListener::AcceptLoop, this);
    return true;
}

void CListener::Stop(const std::function<void()>& fnWake)
{
    if (m_nListenFd < 0 && !m_thrAccept.joinable())
        return;
    m_bStop = true;
    if (m_thrAccept.joinable())
        m_thrAccept.join();
    if (m_nListenFd >= 0)
        ::close(m_nListenFd);
    m_nListenFd = -1;
    if (m_nSpareFd >= 0)
        ::close(m_nSpareFd);
    m_nSpareFd = -1;
    if (fnWake)
        fnWake();
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        for (auto& pConn : m_lstConnections) {
            if (pConn->nFd >= 0 && !pConn->bDone)
                ::shutdown(pConn->nFd, SHUT_RDWR);
        }
    }
    Reap(true);
}

void CListener::Close(int& nFd)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    for (auto& pConn : m_lstConnections) {
        if (pConn->nFd == nFd)
            pConn->nFd = -1;
    }
    SimSocket::ShutdownAndClose(nFd);
}

void CListener::Reap(bool bAll)
{
    std::list<std::unique_ptr<SConnection>> lstDone;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        for (auto it = m_lstConnections.begin(); it != m_lstConnections.end();) {
            if (bAll || (*it)->bDone) {
                lstDone.push_back(std::move(*it));
                it = m_lstConnections.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& pConn : lstDone) {
        if (pConn->thread.joinable())
            pConn->thread.join();
    }
}

int64_t CListener::SilentMs(int nFd)
{
    tcp_info info{};
    socklen_t nLen = sizeof info;
    if (::getsockopt(nFd, IPPROTO_TCP, TCP_INFO, &info, &nLen) != 0)
        return 0;
    // A peer that stopped reading closes its window, so nothing is sent
    // either: a stalled connection counts as silent like an idle one.
    return std::min<int64_t>(info.tcpi_last_data_recv, info.tcpi_last_data_sent);
}

bool CListener::MakeRoomLocked()
{
    SConnection* pVictim = nullptr;
    int64_t nLongest = 0;
    for (auto& pConn : m_lstConnections) {
        if (pConn->bDone || pConn->nFd < 0)
            continue;
        const int64_t nSilent = SilentMs(pConn->nFd);
        if (nSilent >= s_nIdleEvictionMs && nSilent > nLongest) {
            nLongest = nSilent;
            pVictim = pConn.get();
        }
    }
    if (!pVictim)
        return false;
    // The handler sees end of input and finishes; the slot frees once it has.
    ::shutdown(pVictim->nFd, SHUT_RDWR);
    pVictim->nFd = -1;
    return true;
}

void CListener::RefuseWhileOutOfDescriptors()
{
    // The pending client would stay in the backlog and keep the socket
    // readable; with a spare descriptor it is accepted and closed at once.
    if (m_nSpareFd >= 0 && (errno == EMFILE || errno == ENFILE)) {
        ::close(m_nSpareFd);
        const int nFd = ::accept4(m_nListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (nFd >= 0)
            ::close(nFd);
        m_nSpareFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kOutOfResourcesPauseMs));
}

bool CListener::WaitForSlot()
{
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        if (m_lstConnections.size() < m_nMaxConnections)
            return true;
        if (!MakeRoomLocked())
            return false;
    }
    // The slot frees when the evicted connection's handler has ended.
    const auto tGiveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kEvictionWaitMs);
    while (std::chrono::steady_clock::now() < tGiveUp && !m_bStop) {
        Reap(false);
        {
            std::lock_guard<std::mutex> lock(m_mtx);
            if (m_lstConnections.size() < m_nMaxConnections)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void CListener::AcceptLoop()
{
    while (!m_bStop) {
        errno = 0;
        const int nFd = SimSocket::Accept(m_nListenFd, kPollMs);
        const int nError = errno;
        Reap(false);
        if (nFd < 0) {
            if (nError == EMFILE || nError == ENFILE || nError == ENOBUFS || nError == ENOMEM) {
                errno = nError;
                RefuseWhileOutOfDescriptors();
            }
            continue;
        }
        if (!WaitForSlot()) {
            ::close(nFd);
            continue;
        }
        std::lock_guard<std::mutex> lock(m_mtx);
        SimSocket::SetNoDelay(nFd);
        auto pConn = std::make_unique<SConnection>();
        SConnection* pRaw = pConn.get();
        pRaw->nFd = nFd;
        try {
            pRaw->thread = std::thread([this, pRaw, nFd] {
                m_handler(nFd);
                pRaw->bDone = true;
            });
        } catch (const std::system_error&) {
            // Out of threads (a task limit) or memory: refuse this client, keep serving.
            ::close(nFd);
            continue;
        }
        m_lstConnections.push_back(std::move(pConn));
    }
}
