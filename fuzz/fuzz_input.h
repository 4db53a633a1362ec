#pragma once

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <string>

// Splits one fuzz input into pieces at the first occurrences of a separator byte, so one target
// can vary several inputs (an expression and a name, chunk boundaries) from one byte string.
class fuzz_input {
public:
    fuzz_input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    // Up to the next separator (or the end); the separator is consumed.
    std::string take_until(uint8_t separator)
    {
        size_t end = m_pos;
        while (end < m_size && m_data[end] != separator)
            ++end;
        std::string piece(reinterpret_cast<const char *>(m_data + m_pos), end - m_pos);
        m_pos = end < m_size ? end + 1 : end;
        return piece;
    }
    uint8_t take_byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    const uint8_t *rest() const { return m_data + m_pos; }
    size_t rest_size() const { return m_size - m_pos; }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};
