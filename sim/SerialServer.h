#pragma once

#include "Server.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

class CDeviceRegistry;
class CDevice;

// A serial instrument on a pseudo-terminal: the client opens it like any serial port
// (ASRL<path>::INSTR) and talks SCPI to the same engine as over the raw socket, LF-terminated.
// The path is a symbolic link to the current pty, so that after the instrument hung up (a fresh
// pty behind the link) a client reaches it again under the same name.
class CSerialServer : public CServer
{
public:
    explicit CSerialServer(std::shared_ptr<CDeviceRegistry> pRegistry);
    ~CSerialServer() override;

    // The address and port mean nothing on a serial line and are ignored.
    bool Start(const std::string& strBindAddress, uint16_t uPort, std::string& strError) override;
    void Stop() override;
    uint16_t Port() const override { return 0; }
    // "ASRL <path> ASRL<path>::INSTR".
    std::string AnnounceLine() const override;

private:
    bool OpenPty(std::string& strError);
    void ClosePty();
    void ReaderLoop();
    void WriterLoop();
    bool WriteAll(const char* pData, size_t nLen);

    std::shared_ptr<CDeviceRegistry> m_pRegistry;
    std::shared_ptr<CDevice> m_pDevice;
    std::string m_strDir;
    std::string m_strLink;
    // Only the reader thread replaces these, and only while the writer waits for m_bHangUp to clear.
    std::atomic<int> m_nMaster{-1};
    std::atomic<bool> m_bHangUp{false};
    std::atomic<bool> m_bStopping{false};
    std::thread m_thrReader;
    std::thread m_thrWriter;
};
