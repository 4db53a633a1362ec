#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "Listener.h"
#include "rpc_message.h"

// ONC RPC over TCP for the simulator: a listener, one thread per connection,
// record reassembly and framing. Subclasses answer calls one at a time per
// connection, as an RPC client expects, and may block while they do.
class CRpcTcpServer
{
public:
    struct SConnection
    {
        int nFd = -1;
        uint64_t uId = 0;
        // Sent after the reply body as the end of the same record, so long
        // read data is not copied into the body first; the handler pads it.
        std::string strTail;
    };

    enum class EAction { Reply, NoReply, Close, ReplyThenClose };

    CRpcTcpServer() = default;
    virtual ~CRpcTcpServer();
    CRpcTcpServer(const CRpcTcpServer&) = delete;
    CRpcTcpServer& operator=(const CRpcTcpServer&) = delete;

    bool Listen(const std::string& strAddress, uint16_t uPort, std::string& strError);
    void StopListening();
    uint16_t ListenPort() const { return m_listener.Port(); }
    bool IsStopping() const { return m_listener.IsStopping(); }

protected:
    // Fills baReply with a complete reply body (see rpc_encode_reply*).
    virtual EAction OnCall(SConnection& conn, const velq::rpc_call_info& call, velq::xdr_reader& args,
                           velq::xdr_bytes& baReply) = 0;
    virtual void OnDisconnect(SConnection& conn) { (void)conn; }
    virtual void OnStopping() {}
    // Calls larger than this close the connection: nothing that large is legal.
    virtual size_t MaxRecord() const { return 64 * 1024; }

private:
    void Serve(int nFd);

    CListener m_listener;
    std::atomic<uint64_t> m_uNextId{1};
};

// Sends one reply body, followed by strTail, as a single-fragment record.
bool RpcSendRecord(int nFd, const velq::xdr_bytes& baBody, const std::string& strTail = std::string());
