#pragma once

#include "api/rsrc_parse.h"
#include "transport/transport.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velq {

enum class vi_kind { rm, instr, find_list };

struct vi_object {
    explicit vi_object(vi_kind k) : kind(k) {}
    virtual ~vi_object() = default;
    const vi_kind kind;
    ViObject handle = VI_NULL;
    ViSession rm = VI_NULL; // the resource manager that opened it (itself for an RM)
    std::mutex attr_mutex;
    ViUInt32 tmo_ms = 2000;
    ViUInt64 user_data = 0;
};

struct vi_rm : vi_object {
    vi_rm() : vi_object(vi_kind::rm) {}
};

struct vi_find_list : vi_object {
    vi_find_list() : vi_object(vi_kind::find_list) {}
    std::mutex list_mutex;
    std::vector<std::string> names;
    size_t next = 0;
};

// An open resource. Calls that reach the transport hold io_mutex, so the transport sees one call
// at a time; viClose only interrupts, and the transport is closed when the last holder lets go.
//
// The library's locks, never nested, so there is no order to break: the handle table's mutex (a
// lookup), an object's attr_mutex (its attributes, copied out at the start of each call), a find
// list's list_mutex and a session's io_mutex (held across every transport call). Transports take
// no lock of their own; interrupt(), the one call that comes without io_mutex, only sets flags and
// fires the wake-up.
struct vi_instr : vi_object {
    vi_instr() : vi_object(vi_kind::instr) {}
    ~vi_instr() override;
    rsrc_parsed rsrc;
    std::unique_ptr<transport> tr;
    std::mutex io_mutex;
    io_attrs attrs; // guarded by attr_mutex; tmo_ms lives here, not in vi_object::tmo_ms
    std::atomic<bool> closed{false};
};

// The one table of live handles. Handles count up from 1, skip 0 and live handles, and are not
// reused until the 32-bit counter wraps, so a stale handle finds nothing rather than a stranger.
class vi_table {
public:
    static vi_table &instance();

    // Registers obj under a new handle. For a child (rm != obj itself), fails with false when
    // its resource manager has been closed meanwhile.
    bool add(const std::shared_ptr<vi_object> &obj, ViSession rm);
    std::shared_ptr<vi_object> find(ViObject handle);
    // Removes handle and, for a resource manager, everything opened through it; returns them.
    std::vector<std::shared_ptr<vi_object>> remove(ViObject handle);

private:
    std::mutex m_mutex;
    std::vector<std::shared_ptr<vi_object>> m_objects; // small: linear search is fine
    ViObject m_next = 1;
};

} // namespace velq
