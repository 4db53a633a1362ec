#include "SocketServer.h"

#include "Device.h"
#include "DeviceRegistry.h"
#include "SocketUtil.h"

#include <chrono>
#include <system_error>

#include <sys/socket.h>

namespace {
const int kPollMs = 200;
const size_t kChunk = 64 * 1024;
// Answers go out in pieces this large: every piece costs a lock, a copy and a send.
const size_t kAnswerPiece = 1024 * 1024;
}

CSocketServer::CSocketServer(std::shared_ptr<CDeviceRegistry> pRegistry) : m_pRegistry(std::move(pRegistry)) {}

CSocketServer::~CSocketServer()
{
    Stop();
}

bool CSocketServer::Start(const std::string& strBindAddress, uint16_t uPort, std::string& strError)
{
    m_strAddress = strBindAddress;
    m_bStopping = false;
    return m_listener.Start(strBindAddress, uPort, [this](int nFd) { Serve(nFd); }, strError);
}

std::string CSocketServer::AnnounceLine() const
{
    const std::string strPort = std::to_string(Port());
    return "SOCKET " + strPort + " TCPIP0::" + m_strAddress + "::" + strPort + "::SOCKET";
}

void CSocketServer::Stop()
{
    // Closing the devices ends waits for answers; the readers wake as their sockets are shut down.
    m_bStopping = true;
    m_listener.Stop([this] {
        std::lock_guard<std::mutex> lock(m_mtx);
        for (const auto& pDevice : m_setDevices)
            pDevice->Close();
    });
}

void CSocketServer::Serve(int nFd)
{
    SConnection conn;
    conn.nFd = nFd;
    conn.pDevice = m_pRegistry->CreatePrivate("socket" + std::to_string(m_uNextId++), CDevice::EFraming::Stream,
                                              CDevice::EResponseMode::Queue);
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        m_setDevices.insert(conn.pDevice);
    }
    try {
        std::thread thrWriter(&CSocketServer::WriterLoop, this, &conn);
        ReaderLoop(&conn);
        thrWriter.join();
    } catch (const std::system_error&) {
        // No thread for the answers: this client is refused, the process serves on.
        conn.pDevice->Close();
    }
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        m_setDevices.erase(conn.pDevice);
    }
    m_listener.Close(conn.nFd);
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
}

void CSocketServer::WriterLoop(SConnection* pConn)
{
    CDevice::SReadResult result;
    for (;;) {
        pConn->pDevice->ReadInto(result, kAnswerPiece, CDevice::Clock::now() + std::chrono::milliseconds(kPollMs));
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
