#pragma once

#include <cstdint>
#include <string>

// A protocol server of the simulator. main() starts each configured server,
// prints its AnnounceLine() as soon as it listens, and stops them all on
// SIGINT/SIGTERM.
class CServer
{
public:
    virtual ~CServer() = default;

    // Binds and listens (uPort 0 = ephemeral), then serves on its own threads.
    virtual bool Start(const std::string& strBindAddress, uint16_t uPort, std::string& strError) = 0;
    // Closes the listener and every connection, and joins the threads.
    virtual void Stop() = 0;
    virtual uint16_t Port() const = 0;
    // E.g. "SOCKET 5025 TCPIP0::127.0.0.1::5025::SOCKET".
    virtual std::string AnnounceLine() const = 0;
};
