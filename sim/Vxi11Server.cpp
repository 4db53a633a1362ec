#include "Vxi11Server.h"

#include <algorithm>
#include <chrono>

#include <poll.h>

#include "Device.h"
#include "DeviceRegistry.h"
#include "vxi11_proto.h"

// The wire codecs shared with the VISA library.
using namespace velq;

namespace {

// One device_read reply carries at most this much, whatever was asked.
constexpr uint32_t kMaxReadReply = 8u << 20;
constexpr size_t kMaxLinksPerConnection = 64;

bool PeerGone(int nFd)
{
    pollfd pfd{nFd, POLLRDHUP, 0};
    return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

std::chrono::milliseconds WireTimeout(uint32_t uMs)
{
    // "Infinite" on the wire is 0xFFFFFFFF ms; a day is as good and keeps
    // the clock arithmetic clear of overflow.
    return std::chrono::milliseconds(std::min<uint64_t>(uMs, 24ull * 3600 * 1000));
}

} // namespace

CVxi11Server::CVxi11Server(std::shared_ptr<CDeviceRegistry> pRegistry)
    : m_pRegistry(std::move(pRegistry))
{
}

CVxi11Server::~CVxi11Server()
{
    Stop();
}

bool CVxi11Server::Start(const std::string& strBindAddress, uint16_t uPort, std::string& strError)
{
    m_strAddress = strBindAddress;
    return Listen(strBindAddress, uPort, strError);
}

void CVxi11Server::Stop()
{
    StopListening();
}

void CVxi11Server::OnStopping()
{
    // Readers blocked in a device would otherwise hold Stop() up until
    // their io_timeout.
    std::lock_guard<std::mutex> lock(m_mtx);
    for (const auto& conn : m_mapLinks) {
        for (const auto& link : conn.second)
            link.second.pDevice->Wake();
    }
}

std::string CVxi11Server::AnnounceLine() const
{
    return "VXI11 " + std::to_string(ListenPort()) + " TCPIP0::" + m_strAddress + "::INSTR";
}

size_t CVxi11Server::MaxRecord() const
{
    // device_write data beyond maxRecvSize is tolerated (some clients send
    // more), but a record must stay small enough to hold in memory.
    return 1u << 20;
}

bool CVxi11Server::IsValidDeviceName(const std::string& strName)
{
    if (strName.size() < 5 || strName.size() > 8 || strName.compare(0, 4, "inst") != 0)
        return false;
    return std::all_of(strName.begin() + 4, strName.end(), [](char c) { return c >= '0' && c <= '9'; });
}

CVxi11Server::SLink* CVxi11Server::FindLink(SConnection& conn, int32_t nLid)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    auto itConn = m_mapLinks.find(conn.uId);
    if (itConn == m_mapLinks.end())
        return nullptr;
    auto it = itConn->second.find(nLid);
    return it == itConn->second.end() ? nullptr : &it->second;
}

void CVxi11Server::ReleaseLink(SLink& link)
{
    if (link.pDevice && link.pDevice->LockOwner() == link.uOwner)
        link.pDevice->ReleaseLock(link.uOwner);
}

void CVxi11Server::DropPending(CDevice* pDevice)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_mapPending.erase(pDevice);
}

void CVxi11Server::OnDisconnect(SConnection& conn)
{
    std::map<int32_t, SLink> mapLinks;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        auto it = m_mapLinks.find(conn.uId);
        if (it != m_mapLinks.end()) {
            mapLinks.swap(it->second);
            m_mapLinks.erase(it);
        }
    }
    for (auto& kv : mapLinks)
        ReleaseLink(kv.second);
    std::lock_guard<std::mutex> lock(m_mtx);
    for (auto& kv : mapLinks)
        ForgetIfUnlinkedLocked(kv.second.pDevice.get());
}

void CVxi11Server::ForgetIfUnlinkedLocked(const CDevice* pDevice)
{
    // Parked answers are keyed by address: a device freed with its last link
    // must not leave them for a new device at the same address.
    for (const auto& conn : m_mapLinks) {
        for (const auto& link : conn.second) {
            if (link.second.pDevice.get() == pDevice)
                return;
        }
    }
    m_mapPending.erase(const_cast<CDevice*>(pDevice));
}

// Operations on a device locked by another link fail at once with error 11
// unless the caller set waitlock; then they wait up to lock_timeout for the
// lock to be free.
int32_t CVxi11Server::CheckLock(SLink& link, uint32_t uFlags, uint32_t uLockTimeout)
{
    const uint64_t uOwner = link.pDevice->LockOwner();
    if (uOwner == 0 || uOwner == link.uOwner)
        return vxi11_err_none;
    if (!(uFlags & vxi11_flag_waitlock) || uLockTimeout == 0)
        return vxi11_err_locked;
    if (!link.pDevice->AcquireLock(link.uOwner, WireTimeout(uLockTimeout)))
        return vxi11_err_locked;
    link.pDevice->ReleaseLock(link.uOwner);
    return vxi11_err_none;
}

xdr_bytes CVxi11Server::CreateLink(SConnection& conn, xdr_reader& args, bool& bGarbage)
{
    vxi11_create_link_parms parms;
    if (!vxi11_decode(args, &parms, 256)) {
        bGarbage = true;
        return {};
    }
    vxi11_create_link_resp resp;
    resp.max_recv_size = kMaxRecvSize;
    if (parms.device.empty()
        || !std::all_of(parms.device.begin(), parms.device.end(), [](char c) { return c > ' ' && c < 127; })) {
        resp.error = vxi11_err_syntax;
        return vxi11_encode(resp);
    }
    if (!IsValidDeviceName(parms.device)) {
        resp.error = vxi11_err_not_accessible;
        return vxi11_encode(resp);
    }
    SLink link;
    link.pDevice = m_pRegistry->Get(parms.device);
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        // A client looping on create_link must not grow the table without end.
        if (m_mapLinks[conn.uId].size() >= kMaxLinksPerConnection) {
            resp.error = vxi11_err_out_of_resources;
            return vxi11_encode(resp);
        }
        resp.lid = m_nNextLid;
        // Link ids stay positive; wrapping takes 2^31 links, far more than a
        // simulator run ever sees.
        m_nNextLid = m_nNextLid == 0x7FFFFFFF ? 1 : m_nNextLid + 1;
    }
    link.uOwner = (conn.uId << 32) | static_cast<uint32_t>(resp.lid);
    if (parms.lock_device && !link.pDevice->AcquireLock(link.uOwner, WireTimeout(parms.lock_timeout))) {
        resp.error = vxi11_err_locked;
        resp.lid = 0;
        return vxi11_encode(resp);
    }
    std::lock_guard<std::mutex> lock(m_mtx);
    m_mapLinks[conn.uId][resp.lid] = link;
    return vxi11_encode(resp);
}

bool CVxi11Server::TakePending(CDevice* pDevice, size_t nMax, std::string& strData, bool& bEnd)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    auto it = m_mapPending.find(pDevice);
    if (it == m_mapPending.end())
        return false;
    SPending& pending = it->second;
    const size_t nTake = std::min(nMax, pending.strData.size());
    strData = pending.strData.substr(0, nTake);
    pending.strData.erase(0, nTake);
    bEnd = pending.bEnd && pending.strData.empty();
    if (pending.strData.empty())
        m_mapPending.erase(it);
    return true;
}

void CVxi11Server::Park(CDevice* pDevice, const std::string& strData, bool bEnd)
{
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        SPending& pending = m_mapPending[pDevice];
        if (pending.strData.empty())
            pending.bEnd = bEnd;
        pending.strData.insert(0, strData);
    }
    // Readers already waiting inside the device must look here first.
    pDevice->Wake();
}

xdr_bytes CVxi11Server::DeviceRead(SLink& link, int nFd, const vxi11_read_parms& parms, EAction& eAction,
                                   std::string& strTail)
{
    vxi11_read_resp resp;
    const size_t nMax = std::min(parms.request_size, kMaxReadReply);
    if (nMax == 0) {
        resp.reason = vxi11_reason_reqcnt;
        return vxi11_encode(resp);
    }
    CDevice* pDevice = link.pDevice.get();
    std::string strData;
    bool bEnd = false;
    // Wait in slices: a client that hung up must not leave a reader behind
    // that would take the next answer meant for another link. Bytes parked
    // by another link (see SPending) come first; readers are woken when
    // some are parked.
    const auto tDeadline = CDevice::Clock::now() + WireTimeout(parms.io_timeout);
    bool bFirst = true;
    for (;;) {
        if (TakePending(pDevice, nMax, strData, bEnd))
            break;
        const auto tSlice = std::min(tDeadline, CDevice::Clock::now() + std::chrono::milliseconds(200));
        CDevice::SReadResult r = pDevice->Read(nMax, tSlice, bFirst);
        bFirst = false;
        if (r.eStatus == CDevice::EReadStatus::Data) {
            if (PeerGone(nFd)) {
                // Taken for a client that has gone meanwhile: keep it for
                // the device's next reader instead of losing it.
                Park(pDevice, r.strData, r.bEnd);
                eAction = EAction::Close;
                return {};
            }
            strData = std::move(r.strData);
            bEnd = r.bEnd;
            if (pDevice->HangupRequested())
                eAction = EAction::ReplyThenClose;
            break;
        }
        if (r.eStatus == CDevice::EReadStatus::HungUp && TakePending(pDevice, nMax, strData, bEnd)) {
            // The hang-up text was taken by a reader whose client had gone
            // and parked for this one: deliver it before the line drops.
            eAction = EAction::ReplyThenClose;
            break;
        }
        if (r.eStatus == CDevice::EReadStatus::HungUp || IsStopping() || PeerGone(nFd)) {
            eAction = EAction::Close;
            return {};
        }
        if (r.eStatus == CDevice::EReadStatus::Closed) {
            resp.error = vxi11_err_io;
            return vxi11_encode(resp);
        }
        if (CDevice::Clock::now() >= tDeadline) {
            resp.error = vxi11_err_io_timeout;
            return vxi11_encode(resp);
        }
    }

    if (parms.flags & vxi11_flag_termchrset) {
        const size_t nPos = strData.find(static_cast<char>(parms.term_char));
        if (nPos != std::string::npos) {
            resp.reason |= vxi11_reason_chr;
            if (nPos + 1 < strData.size()) {
                // The rest of the response waits for the next device_read,
                // ahead of anything still inside the device.
                Park(pDevice, strData.substr(nPos + 1), bEnd);
                strData.resize(nPos + 1);
                bEnd = false;
            }
        }
    }
    if (bEnd)
        resp.reason |= vxi11_reason_end;
    if (strData.size() == parms.request_size)
        resp.reason |= vxi11_reason_reqcnt;
    // The body ends with the opaque's length; the data itself and its XDR
    // padding follow as the record's tail.
    xdr_writer w;
    w.put_i32(resp.error);
    w.put_u32(resp.reason);
    w.put_u32(static_cast<uint32_t>(strData.size()));
    const size_t nPad = (4 - strData.size() % 4) % 4;
    strData.append(nPad, '\0');
    strTail = std::move(strData);
    return std::move(w.buf);
}

bool CVxi11Server::ProcNull(SCall& call)
{
    (void)call;
    return true;
}

bool CVxi11Server::ProcCreateLink(SCall& call)
{
    bool bGarbage = false;
    call.baResults = CreateLink(call.conn, call.args, bGarbage);
    return !bGarbage;
}

bool CVxi11Server::ProcDeviceWrite(SCall& call)
{
    vxi11_write_parms parms;
    if (!vxi11_decode(call.args, &parms, MaxRecord()))
        return false;
    SLink* pLink = FindLink(call.conn, parms.lid);
    vxi11_write_resp resp;
    resp.error = pLink ? CheckLock(*pLink, parms.flags, parms.lock_timeout) : vxi11_err_invalid_link;
    if (resp.error == vxi11_err_none) {
        // A new program message discards an unread response, including
        // what a termination-character read left over.
        DropPending(pLink->pDevice.get());
        pLink->pDevice->Write(reinterpret_cast<const char*>(parms.data), parms.size, (parms.flags & vxi11_flag_end) != 0);
        resp.size = static_cast<uint32_t>(parms.size);
    }
    call.baResults = vxi11_encode(resp);
    return true;
}

bool CVxi11Server::ProcDeviceRead(SCall& call)
{
    vxi11_read_parms parms;
    if (!vxi11_decode(call.args, &parms))
        return false;
    SLink* pLink = FindLink(call.conn, parms.lid);
    vxi11_read_resp resp;
    resp.error = pLink ? CheckLock(*pLink, parms.flags, parms.lock_timeout) : vxi11_err_invalid_link;
    call.baResults = resp.error == vxi11_err_none
                         ? DeviceRead(*pLink, call.conn.nFd, parms, call.eAction, call.conn.strTail)
                         : vxi11_encode(resp);
    return true;
}

bool CVxi11Server::ProcGeneric(SCall& call)
{
    vxi11_generic_parms parms;
    if (!vxi11_decode(call.args, &parms))
        return false;
    SLink* pLink = FindLink(call.conn, parms.lid);
    const int32_t nError = pLink ? CheckLock(*pLink, parms.flags, parms.lock_timeout) : vxi11_err_invalid_link;
    uint8_t uStb = 0;
    if (nError == vxi11_err_none) {
        CDevice& dev = *pLink->pDevice;
        switch (call.uProc) {
        case vxi11_device_readstb: {
            uStb = dev.StatusByte();
            std::lock_guard<std::mutex> lock(m_mtx);
            if (m_mapPending.count(&dev))
                uStb |= 0x10; // MAV: part of a response is still unread
            break;
        }
        case vxi11_device_trigger:
            dev.Trigger();
            break;
        case vxi11_device_clear:
            DropPending(&dev);
            dev.Clear();
            break;
        case vxi11_device_remote:
            dev.SetRemote(true);
            break;
        default:
            dev.SetRemote(false);
            break;
        }
    }
    call.baResults = call.uProc == vxi11_device_readstb ? vxi11_encode_readstb_resp(nError, uStb)
                                                        : vxi11_encode_error(nError);
    return true;
}

bool CVxi11Server::ProcDeviceLock(SCall& call)
{
    vxi11_lock_parms parms;
    if (!vxi11_decode(call.args, &parms))
        return false;
    SLink* pLink = FindLink(call.conn, parms.lid);
    int32_t nError = vxi11_err_invalid_link;
    if (pLink) {
        const auto tWait = (parms.flags & vxi11_flag_waitlock) ? WireTimeout(parms.lock_timeout)
                                                               : std::chrono::milliseconds(0);
        nError = pLink->pDevice->AcquireLock(pLink->uOwner, tWait) ? vxi11_err_none : vxi11_err_locked;
    }
    call.baResults = vxi11_encode_error(nError);
    return true;
}

bool CVxi11Server::ProcUnlockOrDestroy(SCall& call)
{
    const int32_t nLid = call.args.get_i32();
    if (!call.args.ok())
        return false;
    SLink* pLink = FindLink(call.conn, nLid);
    int32_t nError = vxi11_err_invalid_link;
    if (pLink && call.uProc == vxi11_device_unlock) {
        nError = pLink->pDevice->ReleaseLock(pLink->uOwner) ? vxi11_err_none : vxi11_err_no_lock;
    } else if (pLink) {
        ReleaseLink(*pLink);
        // Freed (when this was its last link) only after the lock is let go.
        const std::shared_ptr<CDevice> pDevice = pLink->pDevice;
        std::lock_guard<std::mutex> lock(m_mtx);
        m_mapLinks[call.conn.uId].erase(nLid);
        ForgetIfUnlinkedLocked(pDevice.get());
        nError = vxi11_err_none;
    }
    call.baResults = vxi11_encode_error(nError);
    return true;
}

bool CVxi11Server::ProcDocmd(SCall& call)
{
    xdr_writer w;
    w.put_i32(vxi11_err_not_supported);
    w.put_opaque(nullptr, 0);
    call.baResults = std::move(w.buf);
    return true;
}

bool CVxi11Server::ProcNotSupported(SCall& call)
{
    call.baResults = vxi11_encode_error(vxi11_err_not_supported);
    return true;
}

const CVxi11Server::SProcedure CVxi11Server::s_aProcedures[] = {
    {vxi11_null, &CVxi11Server::ProcNull},
    {vxi11_create_link, &CVxi11Server::ProcCreateLink},
    {vxi11_device_write, &CVxi11Server::ProcDeviceWrite},
    {vxi11_device_read, &CVxi11Server::ProcDeviceRead},
    {vxi11_device_readstb, &CVxi11Server::ProcGeneric},
    {vxi11_device_trigger, &CVxi11Server::ProcGeneric},
    {vxi11_device_clear, &CVxi11Server::ProcGeneric},
    {vxi11_device_remote, &CVxi11Server::ProcGeneric},
    {vxi11_device_local, &CVxi11Server::ProcGeneric},
    {vxi11_device_lock, &CVxi11Server::ProcDeviceLock},
    {vxi11_device_unlock, &CVxi11Server::ProcUnlockOrDestroy},
    {vxi11_destroy_link, &CVxi11Server::ProcUnlockOrDestroy},
    {vxi11_device_docmd, &CVxi11Server::ProcDocmd},
    {vxi11_device_enable_srq, &CVxi11Server::ProcNotSupported},
    {vxi11_create_intr_chan, &CVxi11Server::ProcNotSupported},
    {vxi11_destroy_intr_chan, &CVxi11Server::ProcNotSupported},
};

CRpcTcpServer::EAction CVxi11Server::OnCall(SConnection& conn, const rpc_call_info& call, xdr_reader& args,
                                            xdr_bytes& baReply)
{
    if (call.h.prog != vxi11_core_prog) {
        baReply = rpc_encode_reply_error(call.h.xid, rpc_prog_unavail);
        return EAction::Reply;
    }
    if (call.h.vers != vxi11_core_vers) {
        baReply = rpc_encode_reply_error(call.h.xid, rpc_prog_mismatch, vxi11_core_vers, vxi11_core_vers);
        return EAction::Reply;
    }
    const auto itProc = std::find_if(std::begin(s_aProcedures), std::end(s_aProcedures),
                                     [&](const SProcedure& proc) { return proc.uProc == call.h.proc; });
    if (itProc == std::end(s_aProcedures)) {
        baReply = rpc_encode_reply_error(call.h.xid, rpc_proc_unavail);
        return EAction::Reply;
    }
    SCall callState{conn, call.h.proc, args, {}, EAction::Reply};
    if (!(this->*itProc->pHandler)(callState)) {
        baReply = rpc_encode_reply_error(call.h.xid, rpc_garbage_args);
        return EAction::Reply;
    }
    if (callState.eAction != EAction::Close)
        baReply = rpc_encode_reply(call.h.xid, callState.baResults);
    return callState.eAction;
}
