// The exported C functions. No C++ exception may leave them: each body runs inside guarded().

#include "visa.h"

#include "api/rsrc_parse.h"
#include "find/find_engine.h"
#include "api/status_desc.h"
#include "transport/transport.h"
#include "transport/transport_factory.h"
#include "api/visa_attrs.h"
#include "api/visa_passthrough.h"
#include "api/visa_session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

using namespace velq;

namespace {

constexpr ViUInt32 kDefaultOpenTimeoutMs = 2000;

// Every call starts by forgetting the cause an earlier call noted, so that viStatusDesc, which
// alone keeps it, never explains a status with the cause of another call's failure.
template <typename F>
ViStatus guarded(F &&body, bool keep_cause = false)
{
    if (!keep_cause)
        status_cause_clear();
    try {
        return body();
    } catch (const std::bad_alloc &) {
        return VI_ERROR_ALLOC;
    } catch (...) {
        return VI_ERROR_SYSTEM_ERROR;
    }
}

// For operations that exist only on resources: an RM or find list is a valid object that does
// not support them.
ViStatus lookup_instr(ViSession vi, std::shared_ptr<vi_instr> *out)
{
    auto obj = vi_table::instance().find(vi);
    if (!obj)
        return VI_ERROR_INV_OBJECT;
    if (obj->kind != vi_kind::instr)
        return VI_ERROR_NSUP_OPER;
    *out = std::static_pointer_cast<vi_instr>(obj);
    return VI_SUCCESS;
}

void close_object(const std::shared_ptr<vi_object> &obj)
{
    if (obj->kind == vi_kind::instr) {
        auto *instr = static_cast<vi_instr *>(obj.get());
        instr->closed.store(true);
        if (instr->tr)
            instr->tr->interrupt();
    }
}

// Copies the session's I/O attributes for one call, so a concurrent viSetAttribute never tears them.
io_attrs snapshot(vi_instr &in)
{
    std::lock_guard<std::mutex> lock(in.attr_mutex);
    return in.attrs;
}

} // namespace

// With VELQ_VISA_LIBRARY set, the vendor library serves every call and our transports stay idle.
#define VELQ_FORWARD(fn, ...)                                                                      \
    do {                                                                                           \
        const vendor_visa &vendor_ = vendor();                                                     \
        if (vendor_.active) {                                                                      \
            if (vendor_.load_status != VI_SUCCESS)                                                 \
                return vendor_.load_status;                                                        \
            return vendor_.fn ? vendor_.fn(__VA_ARGS__) : VI_ERROR_NSUP_OPER;                      \
        }                                                                                          \
    } while (0)

extern "C" {

ViStatus viOpenDefaultRM(ViPSession vi)
{
    VELQ_FORWARD(viOpenDefaultRM, vi);
    return guarded([&]() -> ViStatus {
        if (!vi)
            return VI_ERROR_INV_PARAMETER;
        *vi = VI_NULL;
        auto rm = std::make_shared<vi_rm>();
        vi_table::instance().add(rm, VI_NULL);
        *vi = rm->handle;
        return VI_SUCCESS;
    });
}

ViStatus viParseRsrcEx(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType, ViPUInt16 intfNum,
                       ViChar rsrcClass[], ViChar expandedUnaliasedName[], ViChar aliasIfExists[])
{
    VELQ_FORWARD(viParseRsrcEx, rmSesn, rsrcName, intfType, intfNum, rsrcClass, expandedUnaliasedName, aliasIfExists);
    return guarded([&]() -> ViStatus {
        auto rm = vi_table::instance().find(rmSesn);
        if (!rm)
            return VI_ERROR_INV_OBJECT;
        if (rm->kind != vi_kind::rm)
            return VI_ERROR_NSUP_OPER;
        rsrc_parsed r;
        std::string alias;
        const ViStatus st = rsrc_parse_aliased(rsrcName, &r, &alias);
        if (st != VI_SUCCESS)
            return st;
        if (intfType)
            *intfType = r.intf_type;
        if (intfNum)
            *intfNum = r.board;
        if (rsrcClass)
            put_string(rsrcClass, r.rsrc_class);
        if (expandedUnaliasedName)
            put_string(expandedUnaliasedName, r.canonical);
        if (aliasIfExists)
            put_string(aliasIfExists, alias);
        return VI_SUCCESS;
    });
}

ViStatus viParseRsrc(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType, ViPUInt16 intfNum)
{
    VELQ_FORWARD(viParseRsrc, rmSesn, rsrcName, intfType, intfNum);
    return viParseRsrcEx(rmSesn, rsrcName, intfType, intfNum, nullptr, nullptr, nullptr);
}

ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 openTimeout, ViPSession vi)
{
    VELQ_FORWARD(viOpen, sesn, name, mode, openTimeout, vi);
    return guarded([&]() -> ViStatus {
        if (vi)
            *vi = VI_NULL;
        auto rm = vi_table::instance().find(sesn);
        if (!rm)
            return VI_ERROR_INV_OBJECT;
        if (rm->kind != vi_kind::rm)
            return VI_ERROR_NSUP_OPER;
        if (!vi)
            return VI_ERROR_INV_PARAMETER;
        auto in = std::make_shared<vi_instr>();
        ViStatus st = rsrc_parse_aliased(name, &in->rsrc, nullptr);
        if (st != VI_SUCCESS)
            return st;
        if (mode & ~static_cast<ViAccessMode>(VI_EXCLUSIVE_LOCK | VI_LOAD_CONFIG))
            return VI_ERROR_INV_ACC_MODE;
        in->tr = transport_create(in->rsrc, &st);
        if (!in->tr)
            return st;
        in->tr->init_attrs(in->attrs);
        const ViUInt32 open_tmo = openTimeout == 0 ? kDefaultOpenTimeoutMs : openTimeout;
        st = in->tr->open(in->rsrc, open_tmo);
        if (st < 0) {
            in->tr->close();
            in->tr.reset();
            return st;
        }
        if (mode & VI_EXCLUSIVE_LOCK) {
            // A transport without locking has no other client to lock out; opening still succeeds.
            const ViStatus lock_st = in->tr->lock(VI_EXCLUSIVE_LOCK, open_tmo, nullptr, nullptr);
            if (lock_st < 0 && lock_st != VI_ERROR_NSUP_OPER)
                return lock_st; // the destructor closes the transport
        }
        if (!vi_table::instance().add(in, sesn))
            return VI_ERROR_INV_OBJECT; // the resource manager was closed while we connected
        *vi = in->handle;
        return st;
    });
}

ViStatus viClose(ViObject vi)
{
    VELQ_FORWARD(viClose, vi);
    return guarded([&]() -> ViStatus {
        if (vi == VI_NULL)
            return VI_WARN_NULL_OBJECT;
        auto gone = vi_table::instance().remove(vi);
        if (gone.empty())
            return VI_ERROR_INV_OBJECT;
        for (const auto &obj : gone)
            close_object(obj);
        // Transports are closed as the last reference goes: here, or in a thread that is just
        // returning from an interrupted call.
        return VI_SUCCESS;
    });
}

ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue)
{
    VELQ_FORWARD(viSetAttribute, vi, attrName, attrValue);
    return guarded([&]() -> ViStatus {
        auto obj = vi_table::instance().find(vi);
        if (!obj)
            return VI_ERROR_INV_OBJECT;
        if (obj->kind == vi_kind::instr)
            return attr_set_instr(static_cast<vi_instr &>(*obj), attrName, attrValue);
        std::lock_guard<std::mutex> lock(obj->attr_mutex);
        switch (attrName) {
        case VI_ATTR_TMO_VALUE:
            obj->tmo_ms = static_cast<ViUInt32>(attrValue);
            return VI_SUCCESS;
        case VI_ATTR_USER_DATA_32:
            obj->user_data = attrValue & 0xFFFFFFFFull;
            return VI_SUCCESS;
        case VI_ATTR_USER_DATA_64:
            obj->user_data = attrValue;
            return VI_SUCCESS;
        case VI_ATTR_RSRC_NAME:
        case VI_ATTR_RSRC_CLASS:
        case VI_ATTR_RSRC_SPEC_VERSION:
        case VI_ATTR_RSRC_IMPL_VERSION:
        case VI_ATTR_RSRC_MANF_NAME:
        case VI_ATTR_RSRC_MANF_ID:
            return VI_ERROR_ATTR_READONLY;
        default:
            return VI_ERROR_NSUP_ATTR;
        }
    });
}

ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void *attrValue)
{
    VELQ_FORWARD(viGetAttribute, vi, attrName, attrValue);
    return guarded([&]() -> ViStatus {
        auto obj = vi_table::instance().find(vi);
        if (!obj)
            return VI_ERROR_INV_OBJECT;
        if (!attrValue)
            return VI_ERROR_USER_BUF;
        if (obj->kind == vi_kind::instr)
            return attr_get_instr(static_cast<vi_instr &>(*obj), attrName, attrValue);
        switch (attrName) {
        case VI_ATTR_TMO_VALUE: {
            std::lock_guard<std::mutex> lock(obj->attr_mutex);
            *static_cast<ViUInt32 *>(attrValue) = obj->tmo_ms;
            return VI_SUCCESS;
        }
        case VI_ATTR_RSRC_NAME:
            put_string(attrValue, obj->kind == vi_kind::rm ? "::INSTR0" : "");
            return VI_SUCCESS;
        case VI_ATTR_RSRC_CLASS:
            put_string(attrValue, obj->kind == vi_kind::rm ? "INSTR" : "");
            return VI_SUCCESS;
        default:
            return attr_get_common(*obj, attrName, attrValue);
        }
    });
}

ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[])
{
    VELQ_FORWARD(viStatusDesc, vi, status, desc);
    return guarded([&]() -> ViStatus {
        if (!desc)
            return VI_ERROR_USER_BUF;
        const bool known = status_desc(status, desc);
        // VI_NULL is accepted: callers commonly describe the failure of a viOpen that left
        // them without a session.
        if (vi != VI_NULL && !vi_table::instance().find(vi))
            return VI_ERROR_INV_OBJECT;
        return known ? VI_SUCCESS : VI_WARN_UNKNOWN_STATUS;
    }, true);
}

ViStatus velqStatusName(ViStatus status, ViChar name[])
{
    return guarded([&]() -> ViStatus {
        if (!name)
            return VI_ERROR_USER_BUF;
        if (const char *known = status_name(status)) {
            std::snprintf(name, VI_FIND_BUFLEN, "%s", known);
            return VI_SUCCESS;
        }
        std::snprintf(name, VI_FIND_BUFLEN, "0x%08X", static_cast<unsigned>(status));
        return VI_WARN_UNKNOWN_STATUS;
    }, true);
}

ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt, ViChar desc[])
{
    VELQ_FORWARD(viFindRsrc, sesn, expr, vi, retCnt, desc);
    return guarded([&]() -> ViStatus {
        if (vi)
            *vi = VI_NULL;
        if (retCnt)
            *retCnt = 0;
        if (desc)
            desc[0] = '\0';
        auto rm = vi_table::instance().find(sesn);
        if (!rm)
            return VI_ERROR_INV_OBJECT;
        if (rm->kind != vi_kind::rm)
            return VI_ERROR_NSUP_OPER;
        if (!expr)
            return VI_ERROR_INV_EXPR;
        find_expr fx;
        if (fx.compile(expr) != VI_SUCCESS)
            return VI_ERROR_INV_EXPR;
        const find_config cfg = find_config_load();
        const char *sysfs = std::getenv("VELQ_SYSFS_ROOT");
        const std::vector<std::string> names = find_filter(
            find_run(find_default_sources(cfg, sysfs && *sysfs ? sysfs : "/sys"), cfg.timeout_ms), fx);
        if (names.empty())
            return VI_ERROR_RSRC_NFOUND;
        auto list = std::make_shared<vi_find_list>();
        list->names = names;
        list->next = 1;
        if (!vi_table::instance().add(list, sesn))
            return VI_ERROR_INV_OBJECT; // the resource manager was closed while we searched
        if (desc)
            put_string(desc, names.front());
        if (retCnt)
            *retCnt = static_cast<ViUInt32>(names.size());
        if (vi)
            *vi = list->handle;
        else
            vi_table::instance().remove(list->handle); // nobody could ever close it
        return VI_SUCCESS;
    });
}

ViStatus viFindNext(ViFindList vi, ViChar desc[])
{
    VELQ_FORWARD(viFindNext, vi, desc);
    return guarded([&]() -> ViStatus {
        auto obj = vi_table::instance().find(vi);
        if (!obj)
            return VI_ERROR_INV_OBJECT;
        if (obj->kind != vi_kind::find_list)
            return VI_ERROR_NSUP_OPER;
        auto *list = static_cast<vi_find_list *>(obj.get());
        std::lock_guard<std::mutex> lock(list->list_mutex);
        if (list->next >= list->names.size())
            return VI_ERROR_RSRC_NFOUND;
        if (desc)
            put_string(desc, list->names[list->next]);
        ++list->next;
        return VI_SUCCESS;
    });
}

} // extern "C"

namespace {

// Runs one transport operation under the session's I/O lock. A call's own argument error
// (arg_status) is reported after the handle is found to be valid and before the lock is taken.
template <typename F>
ViStatus with_transport(ViSession vi, F &&op, ViStatus arg_status = VI_SUCCESS)
{
    return guarded([&]() -> ViStatus {
        std::shared_ptr<vi_instr> in;
        const ViStatus st = lookup_instr(vi, &in);
        if (st != VI_SUCCESS)
            return st;
        if (arg_status != VI_SUCCESS)
            return arg_status;
        const io_attrs attrs = snapshot(*in);
        std::lock_guard<std::mutex> io(in->io_mutex);
        if (in->closed.load())
            return VI_ERROR_INV_OBJECT;
        return op(*in->tr, attrs);
    });
}

} // namespace

extern "C" {

ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    VELQ_FORWARD(viRead, vi, buf, cnt, retCnt);
    if (retCnt)
        *retCnt = 0;
    const ViStatus arg_status = (!buf && cnt > 0) ? VI_ERROR_USER_BUF : VI_SUCCESS;
    return with_transport(
        vi,
        [&](transport &tr, const io_attrs &attrs) {
            ViUInt32 got = 0;
            const ViStatus st = tr.read(buf, cnt, &got, attrs);
            if (retCnt)
                *retCnt = got;
            return st;
        },
        arg_status);
}

ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    VELQ_FORWARD(viWrite, vi, buf, cnt, retCnt);
    if (retCnt)
        *retCnt = 0;
    const ViStatus arg_status = (!buf && cnt > 0) ? VI_ERROR_USER_BUF : VI_SUCCESS;
    return with_transport(
        vi,
        [&](transport &tr, const io_attrs &attrs) {
            ViUInt32 done = 0;
            const ViStatus st = tr.write(buf, cnt, &done, attrs);
            if (retCnt)
                *retCnt = done;
            return st;
        },
        arg_status);
}

ViStatus viClear(ViSession vi)
{
    VELQ_FORWARD(viClear, vi);
    return with_transport(vi, [](transport &tr, const io_attrs &attrs) { return tr.clear(attrs); });
}

ViStatus viReadSTB(ViSession vi, ViPUInt16 status)
{
    VELQ_FORWARD(viReadSTB, vi, status);
    if (!status)
        return VI_ERROR_USER_BUF;
    return with_transport(vi, [status](transport &tr, const io_attrs &attrs) { return tr.read_stb(status, attrs); });
}

ViStatus viAssertTrigger(ViSession vi, ViUInt16 protocol)
{
    VELQ_FORWARD(viAssertTrigger, vi, protocol);
    return with_transport(vi, [protocol](transport &tr, const io_attrs &attrs) {
        return tr.assert_trigger(protocol, attrs);
    });
}

ViStatus viGpibControlREN(ViSession vi, ViUInt16 mode)
{
    VELQ_FORWARD(viGpibControlREN, vi, mode);
    if (mode > VI_GPIB_REN_ADDRESS_GTL) {
        // Still report a bad handle as such before the bad mode.
        if (!vi_table::instance().find(vi))
            return VI_ERROR_INV_OBJECT;
        return VI_ERROR_INV_MODE;
    }
    return with_transport(vi, [mode](transport &tr, const io_attrs &attrs) { return tr.gpib_control_ren(mode, attrs); });
}

ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId requestedKey, ViChar accessKey[])
{
    VELQ_FORWARD(viLock, vi, lockType, timeout, requestedKey, accessKey);
    if (lockType != VI_EXCLUSIVE_LOCK && lockType != VI_SHARED_LOCK) {
        if (!vi_table::instance().find(vi))
            return VI_ERROR_INV_OBJECT;
        return VI_ERROR_INV_LOCK_TYPE;
    }
    return with_transport(vi, [&](transport &tr, const io_attrs &) {
        return tr.lock(lockType, timeout, requestedKey, accessKey);
    });
}

ViStatus viUnlock(ViSession vi)
{
    VELQ_FORWARD(viUnlock, vi);
    return with_transport(vi, [](transport &tr, const io_attrs &) { return tr.unlock(); });
}

ViStatus viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism, ViEventFilter context)
{
    VELQ_FORWARD(viEnableEvent, vi, eventType, mechanism, context);
    (void)eventType;
    (void)mechanism;
    (void)context;
    return guarded([&]() -> ViStatus {
        if (!vi_table::instance().find(vi))
            return VI_ERROR_INV_OBJECT;
        return VI_ERROR_NSUP_OPER; // no event is ever generated yet
    });
}

ViStatus viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism)
{
    VELQ_FORWARD(viDisableEvent, vi, eventType, mechanism);
    (void)eventType;
    (void)mechanism;
    return guarded([&]() -> ViStatus { return vi_table::instance().find(vi) ? VI_SUCCESS : VI_ERROR_INV_OBJECT; });
}

ViStatus viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism)
{
    VELQ_FORWARD(viDiscardEvents, vi, eventType, mechanism);
    (void)eventType;
    (void)mechanism;
    return guarded([&]() -> ViStatus { return vi_table::instance().find(vi) ? VI_SUCCESS : VI_ERROR_INV_OBJECT; });
}

} // extern "C"
