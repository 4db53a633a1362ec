#include "term_scan.h"

namespace velq {

void term_scanner::reset()
{
    m_state = state::text;
    m_block_may_start = true;
    m_digits_left = 0;
    m_remaining = 0;
}

// Only a '#' where a response data element can begin opens a block; a '#' inside plain text or a
// quoted string ("ITEM #12") is text, so it cannot swallow the terminator that follows it.
static bool is_separator(uint8_t byte)
{
    return byte == ',' || byte == ';' || byte == ' ' || byte == '\t' || byte == '\r';
}

bool term_scanner::text_byte(uint8_t byte, uint8_t termchar)
{
    if (byte == termchar)
        return true;
    if (m_state == state::quoted) {
        if (byte == '"')
            m_state = state::text;
        return false;
    }
    m_state = state::text;
    if (byte == '"') {
        m_state = state::quoted;
        m_block_may_start = false;
    } else if (byte == '#' && m_block_may_start) {
        m_state = state::hash;
    } else {
        m_block_may_start = is_separator(byte);
    }
    return false;
}

size_t term_scanner::scan(const uint8_t *data, size_t len, uint8_t termchar)
{
    size_t i = 0;
    while (i < len) {
        const uint8_t byte = data[i];
        switch (m_state) {
        case state::payload: {
            const size_t take = (m_remaining < len - i) ? static_cast<size_t>(m_remaining) : len - i;
            i += take;
            m_remaining -= take;
            if (m_remaining == 0) {
                m_state = state::text;
                m_block_may_start = false;
            }
            continue;
        }
        case state::hash:
            if (byte >= '1' && byte <= '9') {
                m_digits_left = byte - '0';
                m_remaining = 0;
                m_state = state::length_digits;
                ++i;
                continue;
            }
            // "#0" (indefinite length, ends at the terminator) and malformed headers are text.
            m_state = state::text;
            m_block_may_start = false;
            if (byte == '0') {
                ++i;
                continue;
            }
            break; // re-examine this byte as text
        case state::length_digits:
            if (byte >= '0' && byte <= '9') {
                m_remaining = m_remaining * 10 + (byte - '0');
                ++i;
                if (--m_digits_left == 0) {
                    m_state = m_remaining ? state::payload : state::text;
                    m_block_may_start = false;
                }
                continue;
            }
            m_state = state::text;
            m_block_may_start = false;
            break;
        case state::text:
        case state::quoted:
            break;
        }
        if (text_byte(byte, termchar)) {
            reset();
            return i + 1;
        }
        ++i;
    }
    return npos;
}

} // namespace velq
