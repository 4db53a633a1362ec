#pragma once

#include <cstddef>
#include <cstdint>

namespace velq {

// Finds the termination character of a message on a stream without END, skipping the payload of
// IEEE 488.2 definite-length blocks ("#", digit n, n length digits, data), which may hold any byte.
// The state survives between calls, so a message may arrive in any number of pieces; reset() at
// each message end. A malformed block header falls back to plain text scanning.
class term_scanner {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    void reset();
    // Scans data[0..len). Returns the index just past the termination character (the message ends
    // there; the scanner is then reset) or npos when all of it belongs to the unfinished message.
    size_t scan(const uint8_t *data, size_t len, uint8_t termchar);
    bool in_block() const { return m_state == state::payload; }

private:
    enum class state { text, quoted, hash, length_digits, payload };
    bool text_byte(uint8_t byte, uint8_t termchar); // true when byte ends the message

    state m_state = state::text;
    bool m_block_may_start = true; // blocks start a message or follow a separator
    unsigned m_digits_left = 0;
    uint64_t m_remaining = 0;
};

} // namespace velq
