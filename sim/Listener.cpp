#include "Listener.h"

#include "SocketUtil.h"

#include <sys/socket.h>
#include <unistd.h>

namespace {
// How often the accept thread looks at the stop flag and reaps finished connections.
constexpr int kPollMs = 200;
}

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

void CListener::AcceptLoop()
{
    while (!m_bStop) {
        const int nFd = SimSocket::Accept(m_nListenFd, kPollMs);
        Reap(false);
        if (nFd < 0)
            continue;
        std::lock_guard<std::mutex> lock(m_mtx);
        if (m_lstConnections.size() >= m_nMaxConnections) {
            ::close(nFd);
            continue;
        }
        SimSocket::SetNoDelay(nFd);
        auto pConn = std::make_unique<SConnection>();
        SConnection* pRaw = pConn.get();
        pRaw->nFd = nFd;
        pRaw->thread = std::thread([this, pRaw, nFd] {
            m_handler(nFd);
            pRaw->bDone = true;
        });
        m_lstConnections.push_back(std::move(pConn));
    }
}
