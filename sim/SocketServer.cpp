#include "SocketServer.h"

#include "Device.h"
#include "DeviceRegistry.h"
#include "SocketUtil.h"

#include <chrono>

#include <sys/socket.h>
#include <unistd.h>

namespace {
const int kPollMs = 200;
const size_t kChunk = 64 * 1024;
const size_t kMaxConnections = 128;
}

CSocketServer::CSocketServer(std::shared_ptr<CDeviceRegistry> pRegistry) : m_pRegistry(std::move(pRegistry)) {}

CSocketServer::~CSocketServer()
{
    Stop();
}

bool CSocketServer::Start(const std::string& strBindAddress, uint16_t uPort, std::string& strError)
{
    m_strAddress = strBindAddress;
    m_nListenFd = SimSocket::Listen(strBindAddress, uPort, m_uPort, strError);
    if (m_nListenFd < 0)
        return false;
    m_bStopping = false;
    m_thrAccept = std::thread(&CSocketServer::AcceptLoop, this);
    return true;
}

std::string CSocketServer::AnnounceLine() const
{
    const std::string strPort = std::to_string(m_uPort);
    return "SOCKET " + strPort + " TCPIP0::" + m_strAddress + "::" + strPort + "::SOCKET";
}

void CSocketServer::Stop()
{
    if (m_nListenFd < 0 && !m_thrAccept.joinable())
        return;
    m_bStopping = true;
    if (m_thrAccept.joinable())
        m_thrAccept.join();
    if (m_nListenFd >= 0) {
        ::close(m_nListenFd);
        m_nListenFd = -1;
    }
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        for (auto& pConn : m_lstConnections) {
            pConn->pDevice->Close();
            ::shutdown(pConn->nFd, SHUT_RDWR);
        }
    }
    ReapFinished(true);
}

void CSocketServer::AcceptLoop()
{
    while (!m_bStopping) {
        ReapFinished(false);
        const int nFd = SimSocket::Accept(m_nListenFd, kPollMs);
        if (nFd < 0)
            continue;
        std::unique_lock<std::mutex> lockCount(m_mtx);
        if (m_lstConnections.size() >= kMaxConnections) {
            // Two threads per client: refuse rather than exhaust the process.
            lockCount.unlock();
            ::close(nFd);
            continue;
        }
        lockCount.unlock();
        SimSocket::SetNoDelay(nFd);
        auto pConn = std::make_unique<SConnection>();
        pConn->nFd = nFd;
        pConn->pDevice = m_pRegistry->CreatePrivate("socket" + std::to_string(m_uNextId++),
                                                    CDevice::EFraming::Stream, CDevice::EResponseMode::Queue);
        SConnection* pRaw = pConn.get();
        std::lock_guard<std::mutex> lock(m_mtx);
        m_lstConnections.push_back(std::move(pConn));
        pRaw->thrWriter = std::thread(&CSocketServer::WriterLoop, this, pRaw);
        pRaw->thrReader = std::thread(&CSocketServer::ReaderLoop, this, pRaw);
    }
}

void CSocketServer::ReaderLoop(SConnection* pConn)
{
    std::string strBuffer(kChunk, '\0');
    while (!m_bStopping) {
        if (pConn->pDevice->OutputBacklogged() && !pConn->bWriterDone) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        const long nGot = SimSocket::Receive(pConn->nFd, &strBuffer[0], strBuffer.size(), kPollMs);
        if (nGot == -2)
            continue;
        if (nGot <= 0)
            break;
        pConn->pDevice->Write(strBuffer.data(), static_cast<size_t>(nGot), false);
    }
    pConn->pDevice->LogUnterminatedInput();
    // A peer that only shut down its sending side (printf | socat) still
    // waits for the answers: the writer drains the queue before closing.
    pConn->bInputEnded = true;
    while (!pConn->bWriterDone)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pConn->bDone = true;
}

void CSocketServer::WriterLoop(SConnection* pConn)
{
    for (;;) {
        CDevice::SReadResult result = pConn->pDevice->Read(kChunk, std::chrono::milliseconds(kPollMs));
        if (result.eStatus == CDevice::EReadStatus::Data) {
            if (!SimSocket::SendAll(pConn->nFd, result.strData.data(), result.strData.size()))
                break;
        } else if (result.eStatus == CDevice::EReadStatus::HungUp || result.eStatus == CDevice::EReadStatus::Closed) {
            break;
        } else if (m_bStopping || (pConn->bInputEnded && !pConn->pDevice->HasPendingOutput())) {
            break;
        }
    }
    // A hang-up or a failed send ends the connection: the reader sees EOF and finishes.
    pConn->pDevice->Close();
    ::shutdown(pConn->nFd, SHUT_RDWR);
    pConn->bWriterDone = true;
}

void CSocketServer::ReapFinished(bool bAll)
{
    std::list<std::unique_ptr<SConnection>> lstFinished;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        for (auto it = m_lstConnections.begin(); it != m_lstConnections.end();) {
            if (bAll || (*it)->bDone) {
                lstFinished.push_back(std::move(*it));
                it = m_lstConnections.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& pConn : lstFinished) {
        if (pConn->thrReader.joinable())
            pConn->thrReader.join();
        if (pConn->thrWriter.joinable())
            pConn->thrWriter.join();
        ::close(pConn->nFd);
    }
}
