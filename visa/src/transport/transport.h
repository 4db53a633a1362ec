#pragma once

#include "visa.h"

#include <string>

namespace velq {

struct rsrc_parsed;

// The session's I/O attributes, handed to every transport call so that a transport never has to
// ask the session table (and never sees a half-updated set: the session copies them under its lock).
struct io_attrs {
    ViUInt32 tmo_ms = 2000; // VI_TMO_INFINITE honoured, 0 = poll once
    ViUInt8 termchar = '\n';
    bool termchar_en = false;
    bool send_end_en = true;
    bool suppress_end_en = false;
    ViUInt16 io_prot = VI_PROT_NORMAL;
};

// One open connection to one resource. Calls on one transport are serialised by the session,
// except interrupt(), which may come from any thread at any time.
class transport {
public:
    virtual ~transport() = default;

    // Session defaults that differ from the VISA ones for this interface (e.g. termchar on for
    // stream transports). Called once before open().
    virtual void init_attrs(io_attrs &attrs) const { (void)attrs; }

    // Connects within open_tmo_ms (already defaulted: never 0). Returns VI_ERROR_RSRC_NFOUND when
    // the peer refuses or does not exist, VI_ERROR_TMO when the time ran out.
    virtual ViStatus open(const rsrc_parsed &rsrc, ViUInt32 open_tmo_ms) = 0;

    virtual ViStatus write(const ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs) = 0;
    virtual ViStatus read(ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs) = 0;

    virtual ViStatus clear(const io_attrs &attrs) { (void)attrs; return VI_ERROR_NSUP_OPER; }
    virtual ViStatus read_stb(ViUInt16 *stb, const io_attrs &attrs) { (void)stb; (void)attrs; return VI_ERROR_NSUP_OPER; }
    virtual ViStatus assert_trigger(ViUInt16 protocol, const io_attrs &attrs) { (void)protocol; (void)attrs; return VI_ERROR_NSUP_OPER; }
    virtual ViStatus gpib_control_ren(ViUInt16 mode, const io_attrs &attrs) { (void)mode; (void)attrs; return VI_ERROR_NSUP_OPER; }
    virtual ViStatus lock(ViAccessMode type, ViUInt32 tmo_ms, const char *requested_key, char *access_key)
    {
        (void)type; (void)tmo_ms; (void)requested_key; (void)access_key;
        return VI_ERROR_NSUP_OPER;
    }
    virtual ViStatus unlock() { return VI_ERROR_NSUP_OPER; }

    // Thread-safe and sticky: makes a blocked or later call return promptly (VI_ERROR_ABORT).
    // Must not free anything; close() follows once no call is running.
    virtual void interrupt() = 0;
    // Tears the connection down politely (e.g. destroy_link); called once, with no call running.
    virtual void close() = 0;

    // Transport-specific attributes, asked before the generic ones the session keeps itself.
    // Return VI_ERROR_NSUP_ATTR to let the session answer.
    virtual ViStatus get_attribute(ViAttr attr, void *value) { (void)attr; (void)value; return VI_ERROR_NSUP_ATTR; }
    virtual ViStatus set_attribute(ViAttr attr, ViAttrState value) { (void)attr; (void)value; return VI_ERROR_NSUP_ATTR; }
};

} // namespace velq
