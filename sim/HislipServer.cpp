#include "HislipServer.h"

#include <chrono>
#include <cstring>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include "DeviceRegistry.h"
#include "SocketUtil.h"
#include "hislip_codec.h"
#include "HislipSession.h"

// The wire codecs shared with the VISA library.
using namespace velq;

namespace {

// A connection must say who it is promptly; a silent one is dropped.
constexpr int kFirstMessageTimeoutMs = 30000;

void SendFatalAndClose(int nFd, uint8_t uCode, const char* pText)
{
    CHislipSession::SendFrame(nFd, HISLIP_FATAL_ERROR, uCode, 0, pText, std::strlen(pText));
    int nCopy = nFd;
    SimSocket::ShutdownAndClose(nCopy);
}

bool SendHeader(int nFd, uint8_t uType, uint8_t uControl, uint32_t uParam)
{
    return CHislipSession::SendFrame(nFd, uType, uControl, uParam, nullptr, 0);
}

} // namespace

CHislipServer::CHislipServer(std::shared_ptr<CDeviceRegistry> pRegistry)
    : m_pRegistry(std::move(pRegistry))
{
}

CHislipServer::~CHislipServer()
{
    Stop();
}

bool CHislipServer::Start(const std::string& strBindAddress, uint16_t uPort, std::string& strError)
{
    if (!m_listener.Start(strBindAddress, uPort, [this](int nFd) { HandleConnection(nFd); }, strError))
        return false;
    if (strBindAddress != "0.0.0.0")
        m_strAnnounceHost = strBindAddress;
    return true;
}

std::string CHislipServer::AnnounceLine() const
{
    const std::string strPort = std::to_string(Port());
    return "HISLIP " + strPort + " TCPIP0::" + m_strAnnounceHost + "::hislip0," + strPort + "::INSTR";
}

void CHislipServer::Stop()
{
    // Lock waits end on the sessions' own flag, not on a socket.
    m_listener.Stop([this] {
        std::lock_guard<std::mutex> guard(m_mtx);
        for (auto& entry : m_mapSessions)
            entry.second->Shutdown();
    });
}

std::shared_ptr<CHislipSession> CHislipServer::FindSession(uint16_t uSessionId)
{
    std::lock_guard<std::mutex> guard(m_mtx);
    auto it = m_mapSessions.find(uSessionId);
    return it == m_mapSessions.end() ? nullptr : it->second;
}

void CHislipServer::RemoveSession(uint16_t uSessionId)
{
    std::lock_guard<std::mutex> guard(m_mtx);
    m_mapSessions.erase(uSessionId);
}

bool CHislipServer::EvictSilentSession()
{
    // Only a full table makes room: a silent session is fine while there is space.
    std::shared_ptr<CHislipSession> pVictim;
    int64_t nLongest = 0;
    {
        std::lock_guard<std::mutex> guard(m_mtx);
        if (m_mapSessions.size() < kMaxSessions)
            return false;
        for (const auto& entry : m_mapSessions) {
            const int64_t nSilent = entry.second->SilentMs();
            if (nSilent >= CListener::IdleEvictionMs() && nSilent > nLongest) {
                nLongest = nSilent;
                pVictim = entry.second;
            }
        }
    }
    if (pVictim)
        pVictim->Shutdown();
    return pVictim != nullptr;
}

void CHislipServer::HandleConnection(int nFd)
{
    uint8_t raw[kHislipHeaderSize];
    hislip_header hdr;
    if (!SimSocket::ReceiveExact(nFd, reinterpret_cast<char*>(raw), sizeof raw, kFirstMessageTimeoutMs)) {
        m_listener.Close(nFd);
        return;
    }
    if (hislip_decode_header(raw, &hdr) != HISLIP_DECODE_OK) {
        SendFatalAndClose(nFd, HISLIP_FATAL_BAD_HEADER, "bad prologue");
        return;
    }

    if (hdr.type == HISLIP_INITIALIZE) {
        if (hdr.length > kHislipMaxSubAddress) {
            SendFatalAndClose(nFd, HISLIP_FATAL_INVALID_INIT_SEQUENCE, "sub-address too long");
            return;
        }
        std::string strDevice(static_cast<size_t>(hdr.length), '\0');
        if (!strDevice.empty() && !SimSocket::ReceiveExact(nFd, &strDevice[0], strDevice.size(), kFirstMessageTimeoutMs)) {
            m_listener.Close(nFd);
            return;
        }
        if (strDevice.empty())
            strDevice = "hislip0";
        std::shared_ptr<CHislipSession> pSession;
        if (EvictSilentSession()) {
            // The evicted session leaves the table as its thread ends.
            for (int nWait = 0; nWait < 100; ++nWait) {
                {
                    std::lock_guard<std::mutex> guard(m_mtx);
                    if (m_mapSessions.size() < kMaxSessions)
                        break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        {
            std::lock_guard<std::mutex> guard(m_mtx);
            if (m_mapSessions.size() >= kMaxSessions) {
                pSession = nullptr;
            } else {
                uint16_t uId = m_uNextSessionId;
                while (uId == 0 || m_mapSessions.count(uId))
                    ++uId;
                m_uNextSessionId = static_cast<uint16_t>(uId + 1);
                pSession = std::make_shared<CHislipSession>(
                    uId, strDevice, nFd,
                    m_pRegistry->CreatePrivate(strDevice, CDevice::EFraming::EndFlag, CDevice::EResponseMode::Interrupt),
                    m_locks, [this](uint16_t uEnded) { RemoveSession(uEnded); });
                m_mapSessions[uId] = pSession;
            }
        }
        if (!pSession) {
            SendFatalAndClose(nFd, HISLIP_FATAL_MAX_CLIENTS, "maximum number of clients exceeded");
            return;
        }
        // Only synchronized mode is offered (control code 0).
        if (!SendHeader(nFd, HISLIP_INITIALIZE_RESPONSE, 0, hislip_init_param(kHislipProtocolVersion, pSession->Id()))) {
            RemoveSession(pSession->Id());
            return; // the session closes the descriptor
        }
        pSession->RunSync();
        return;
    }

    if (hdr.type == HISLIP_ASYNC_INITIALIZE && hdr.length == 0) {
        std::shared_ptr<CHislipSession> pSession = FindSession(static_cast<uint16_t>(hdr.param & 0xFFFF));
        if (!pSession || !pSession->AttachAsync(nFd)) {
            SendFatalAndClose(nFd, HISLIP_FATAL_INVALID_INIT_SEQUENCE, "unknown session");
            return;
        }
        if (SendHeader(nFd, HISLIP_ASYNC_INITIALIZE_RESPONSE, 0, hislip_vendor_id("VQ")))
            pSession->RunAsync();
        else
            pSession->Shutdown();
        return;
    }

    SendFatalAndClose(nFd, HISLIP_FATAL_INVALID_INIT_SEQUENCE, "expected Initialize or AsyncInitialize");
}
