#include "transport/read_loop.h"

#include <algorithm>
#include <cstring>

namespace velq {

void read_loop::reset()
{
    m_ahead.clear();
    m_ahead_pos = 0;
    m_ahead_end = false;
    m_scanner.reset();
}

size_t read_loop::find_term(const ViByte *data, size_t len, ViByte termchar)
{
    switch (m_scan) {
    case term_scan::by_peer:
        return term_scanner::npos;
    case term_scan::plain: {
        const void *hit = std::memchr(data, termchar, len);
        return hit ? static_cast<size_t>(static_cast<const ViByte *>(hit) - data) + 1 : term_scanner::npos;
    }
    case term_scan::block_aware:
        return m_scanner.scan(data, len, termchar);
    }
    return term_scanner::npos;
}

ViStatus read_loop::read(read_source &source, ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs)
{
    *ret_cnt = 0;
    if (cnt == 0)
        return VI_SUCCESS_MAX_CNT;
    const tcp_deadline deadline = tcp_deadline::after_ms(attrs.tmo_ms);
    // Without the termination character there are no message bounds to track; a later read with
    // it enabled starts a message afresh.
    if (!attrs.termchar_en)
        m_scanner.reset();
    size_t got = 0;
    bool received = false;
    for (;;) {
        ViByte *const dst = buf + got;
        read_chunk chunk;
        bool from_ahead = false;
        if (m_ahead_pos < m_ahead.size()) {
            chunk.len = std::min<size_t>(m_ahead.size() - m_ahead_pos, cnt - got);
            std::memcpy(dst, m_ahead.data() + m_ahead_pos, chunk.len);
            m_ahead_pos += chunk.len;
            chunk.end = m_ahead_end && m_ahead_pos == m_ahead.size();
            from_ahead = true;
        } else {
            // The time-out bounds the whole call: a peer answering one byte at a time, each in
            // time, must not stretch it. A zero time-out still takes what the first receive brings.
            if (received && deadline.passed())
                return VI_ERROR_TMO;
            received = true;
            const ViStatus status = source.next_chunk(dst, cnt - got, got, attrs, deadline, &chunk);
            if (status != VI_SUCCESS) {
                *ret_cnt = static_cast<ViUInt32>(got + chunk.len);
                return status;
            }
            if (chunk.restart) {
                got = 0;
                *ret_cnt = 0;
                // A peer that keeps sending what we drop never lets a receive time out.
                if (deadline.passed())
                    return VI_ERROR_TMO;
                continue;
            }
        }

        bool end = chunk.end;
        bool term = chunk.term && attrs.termchar_en;
        size_t take = chunk.len;
        if (attrs.termchar_en && take > 0) {
            const size_t stop = find_term(dst, take, attrs.termchar);
            if (stop != term_scanner::npos) {
                term = true;
                if (stop < take) {
                    // The rest, and the END on its last byte, belong to the next read.
                    if (from_ahead) {
                        m_ahead_pos -= take - stop;
                    } else {
                        m_ahead.assign(dst + stop, dst + take);
                        m_ahead_pos = 0;
                        m_ahead_end = end;
                    }
                    end = false;
                }
                take = stop;
            }
        }
        if (m_ahead_pos >= m_ahead.size()) {
            m_ahead.clear();
            m_ahead_pos = 0;
            m_ahead_end = false;
        }
        got += take;
        *ret_cnt = static_cast<ViUInt32>(got);
        // END wins over the termination character when both fall on the last byte.
        if (end && !attrs.suppress_end_en) {
            m_scanner.reset();
            return VI_SUCCESS;
        }
        if (term)
            return VI_SUCCESS_TERM_CHAR;
        if (got >= cnt)
            return VI_SUCCESS_MAX_CNT;
        if (take == 0 && !end && deadline.passed())
            return VI_ERROR_TMO;
    }
}

} // namespace velq
