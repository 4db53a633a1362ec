#include "RpcTcpServer.h"

#include <cerrno>
#include <vector>

#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include "SocketUtil.h"

// The wire codecs shared with the VISA library.
using namespace velq;

bool RpcSendRecord(int nFd, const xdr_bytes& baBody, const std::string& strTail)
{
    const uint32_t uMark = static_cast<uint32_t>(baBody.size() + strTail.size()) | rpc_last_fragment;
    uint8_t aHeader[4] = {uint8_t(uMark >> 24), uint8_t(uMark >> 16), uint8_t(uMark >> 8), uint8_t(uMark)};
    iovec aIov[3] = {{aHeader, 4},
                     {const_cast<uint8_t*>(baBody.data()), baBody.size()},
                     {const_cast<char*>(strTail.data()), strTail.size()}};
    return SimSocket::SendAllV(nFd, aIov, 3);
}

CRpcTcpServer::~CRpcTcpServer()
{
    StopListening();
}

bool CRpcTcpServer::Listen(const std::string& strAddress, uint16_t uPort, std::string& strError)
{
    return m_listener.Start(strAddress, uPort, [this](int nFd) { Serve(nFd); }, strError);
}

void CRpcTcpServer::StopListening()
{
    m_listener.Stop([this] { OnStopping(); });
}

void CRpcTcpServer::Serve(int nFd)
{
    SConnection conn;
    conn.nFd = nFd;
    conn.uId = m_uNextId++;
    rpc_record_assembler assembler(MaxRecord());
    std::vector<char> buf(256 * 1024);
    bool bOpen = true;
    while (bOpen && !IsStopping()) {
        // A blocking receive: Stop() shuts the socket down to end it.
        const ssize_t nGot = ::recv(conn.nFd, buf.data(), buf.size(), 0);
        if (nGot < 0 && errno == EINTR)
            continue;
        if (nGot <= 0)
            break;
        size_t nPos = 0;
        while (bOpen && nPos < size_t(nGot)) {
            size_t nUsed = 0;
            const auto eRes = assembler.feed(reinterpret_cast<const uint8_t*>(buf.data()) + nPos,
                                             size_t(nGot) - nPos, &nUsed);
            nPos += nUsed;
            if (eRes == rpc_record_assembler::too_large) {
                bOpen = false;
                break;
            }
            if (eRes != rpc_record_assembler::record_ready)
                break;
            const xdr_bytes baRecord = assembler.take();
            rpc_call_info call;
            xdr_bytes baReply;
            EAction eAction = EAction::Reply;
            switch (rpc_decode_call(baRecord, &call)) {
            case rpc_ok: {
                xdr_reader args(baRecord.data() + call.args_offset, baRecord.size() - call.args_offset);
                eAction = OnCall(conn, call, args, baReply);
                break;
            }
            case rpc_denied:
                baReply = rpc_encode_reply_rpc_mismatch(call.h.xid);
                break;
            default:
                // Not a call we can parse: nothing to answer, and the stream
                // cannot be trusted any more.
                eAction = EAction::Close;
                break;
            }
            if (eAction == EAction::Reply || eAction == EAction::ReplyThenClose) {
                if (!RpcSendRecord(conn.nFd, baReply, conn.strTail))
                    bOpen = false;
            }
            conn.strTail.clear();
            if (eAction == EAction::Close || eAction == EAction::ReplyThenClose)
                bOpen = false;
        }
    }
    OnDisconnect(conn);
    m_listener.Close(conn.nFd);
}
