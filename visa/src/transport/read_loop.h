#pragma once

#include "net/tcp_socket.h"
#include "term_scan.h"
#include "transport/transport.h"

#include <cstddef>
#include <vector>

namespace velq {

// What one receive of a transport brought, as far as the transport knows.
struct read_chunk {
    size_t len = 0;
    bool end = false;     // its last byte carries END
    bool term = false;    // the peer itself stopped after the termination character
    bool restart = false; // an answer to an older request arrived: what this read gathered is void
};

// The transport's side of a read: the next bytes of the message, nothing more.
class read_source {
public:
    virtual ~read_source() = default;
    // Receives at most cap (> 0) bytes into dst. gathered counts what this read already holds.
    // On an error, chunk->len still counts bytes placed in dst.
    virtual ViStatus next_chunk(ViByte *dst, size_t cap, size_t gathered, const io_attrs &attrs,
                                const tcp_deadline &deadline, read_chunk *chunk) = 0;
};

// Where a message ends, for every transport: END, the termination character, a full buffer, the
// status each gives. Bytes past a termination character are kept for the next read.
class read_loop {
public:
    enum class term_scan {
        by_peer,     // the peer stops at the termination character and says so (VXI-11)
        plain,       // any termination byte ends the message
        block_aware, // a stream without END: definite-length block payloads are not scanned
    };

    explicit read_loop(term_scan scan) : m_scan(scan) {}

    ViStatus read(read_source &source, ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs);
    // Forgets what was kept for the next read (a new command, a device clear).
    void reset();

private:
    size_t find_term(const ViByte *data, size_t len, ViByte termchar);

    const term_scan m_scan;
    term_scanner m_scanner;
    std::vector<ViByte> m_ahead;
    size_t m_ahead_pos = 0;
    bool m_ahead_end = false; // the last kept byte carries END
};

} // namespace velq
