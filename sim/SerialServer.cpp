#include "SerialServer.h"

#include "Device.h"
#include "DeviceRegistry.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
const int kPollMs = 200;
const size_t kChunk = 4096;
}

CSerialServer::CSerialServer(std::shared_ptr<CDeviceRegistry> pRegistry) : m_pRegistry(std::move(pRegistry)) {}

CSerialServer::~CSerialServer()
{
    Stop();
}

bool CSerialServer::OpenPty(std::string& strError)
{
    const int nMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    const char* pszName = nMaster >= 0 && ::grantpt(nMaster) == 0 && ::unlockpt(nMaster) == 0 ? ::ptsname(nMaster)
                                                                                                 : nullptr;
    if (!pszName) {
        strError = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        if (nMaster >= 0)
            ::close(nMaster);
        return false;
    }
    const std::string strSlave = pszName;
    ::fcntl(nMaster, F_SETFL, ::fcntl(nMaster, F_GETFL) | O_NONBLOCK);
    // No echo and no line editing, even for a client that keeps the settings it finds.
    termios t{};
    if (::tcgetattr(nMaster, &t) != 0) {
        strError = "cannot set up " + strSlave + ": " + std::strerror(errno);
        ::close(nMaster);
        return false;
    }
    cfmakeraw(&t);
    ::tcsetattr(nMaster, TCSANOW, &t);
    // Replaced in one step, so that a client never finds the name missing.
    const std::string strTemp = m_strLink + ".new";
    ::unlink(strTemp.c_str());
    if (::symlink(strSlave.c_str(), strTemp.c_str()) != 0 || ::rename(strTemp.c_str(), m_strLink.c_str()) != 0) {
        strError = "cannot link " + m_strLink + ": " + std::strerror(errno);
        ::close(nMaster);
        return false;
    }
    m_nMaster = nMaster;
    return true;
}

void CSerialServer::ClosePty()
{
    // Closing the master is what a client sees as the line going dead (EIO on its next read).
    const int nFd = m_nMaster.exchange(-1);
    if (nFd >= 0)
        ::close(nFd);
}

bool CSerialServer::Start(const std::string&, uint16_t, std::string& strError)
{
    char szDir[] = "/tmp/velqsim-serial-XXXXXX";
    if (!::mkdtemp(szDir)) {
        strError = std::string("cannot create a folder for the serial port: ") + std::strerror(errno);
        return false;
    }
    m_strDir = szDir;
    m_strLink = m_strDir + "/tty";
    if (!OpenPty(strError))
        return false;
    m_pDevice = m_pRegistry->CreatePrivate("serial", CDevice::EFraming::Stream, CDevice::EResponseMode::Queue);
    m_bStopping = false;
    m_thrReader = std::thread(&CSerialServer::ReaderLoop, this);
    m_thrWriter = std::thread(&CSerialServer::WriterLoop, this);
    return true;
}

std::string CSerialServer::AnnounceLine() const
{
    return "ASRL " + m_strLink + " ASRL" + m_strLink + "::INSTR";
}

void CSerialServer::Stop()
{
    m_bStopping = true;
    if (m_pDevice)
        m_pDevice->Close();
    if (m_thrReader.joinable())
        m_thrReader.join();
    if (m_thrWriter.joinable())
        m_thrWriter.join();
    ClosePty();
    if (!m_strDir.empty()) {
        ::unlink(m_strLink.c_str());
        ::rmdir(m_strDir.c_str());
        m_strDir.clear();
    }
}

void CSerialServer::ReaderLoop()
{
    std::string strBuffer(kChunk, '\0');
    bool bClient = false;
    while (!m_bStopping) {
        if (m_bHangUp) {
            // TEST:HANGup: the line dies for the client that has it open; a fresh one waits behind the name.
            ClosePty();
            std::string strError;
            if (!OpenPty(strError)) {
                std::fprintf(stderr, "velqsim: %s\n", strError.c_str());
                return;
            }
            m_pDevice->Clear();
            bClient = false;
            m_bHangUp = false;
            continue;
        }
        if (m_pDevice->OutputBacklogged()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        pollfd p{m_nMaster, POLLIN, 0};
        if (::poll(&p, 1, kPollMs) <= 0)
            continue;
        const ssize_t nGot = ::read(m_nMaster, &strBuffer[0], strBuffer.size());
        if (nGot > 0) {
            bClient = true;
            m_pDevice->Write(strBuffer.data(), static_cast<size_t>(nGot), false);
        } else if (nGot < 0 && errno != EAGAIN && errno != EINTR) {
            // EIO: nobody has the port open. A client that closed it takes its unread answers
            // and its unfinished message with it, as a socket connection does.
            if (bClient) {
                m_pDevice->LogUnterminatedInput();
                m_pDevice->Clear();
                bClient = false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

bool CSerialServer::WriteAll(const char* pData, size_t nLen)
{
    size_t nDone = 0;
    while (nDone < nLen && !m_bStopping) {
        const ssize_t n = ::write(m_nMaster, pData + nDone, nLen - nDone);
        if (n > 0) {
            nDone += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // The line is full while nobody reads: keep the answer until someone does or we stop.
        pollfd p{m_nMaster, POLLOUT, 0};
        ::poll(&p, 1, kPollMs);
    }
    return nDone == nLen;
}

void CSerialServer::WriterLoop()
{
    while (!m_bStopping) {
        if (m_bHangUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        CDevice::SReadResult result = m_pDevice->Read(kChunk, std::chrono::milliseconds(kPollMs));
        if (result.eStatus == CDevice::EReadStatus::Data) {
            WriteAll(result.strData.data(), result.strData.size());
        } else if (result.eStatus == CDevice::EReadStatus::HungUp) {
            // Let what was sent drain to the client before the line goes.
            ::tcdrain(m_nMaster);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            m_bHangUp = true;
        } else if (result.eStatus == CDevice::EReadStatus::Closed) {
            break;
        }
    }
}
