#pragma once

#include <cstddef>

// The console's reply buffer: bytes of an answer of any length, grown while the
// instrument keeps filling it and kept between reads.
//
// Growing never fills the new bytes and never copies a large block: on Linux a
// block from kMapThreshold bytes up is a mapping of its own that the kernel
// moves with its page tables, so growing a 64 MiB buffer costs a system call
// instead of a 64 MiB copy plus 64 MiB of zeros, and pages that no answer
// reaches are never touched. Smaller blocks live on the heap (realloc).
//
// The container-style accessors keep the names of std::vector so that readers
// of the buffer (plug-ins, tests) need not care what it is.
class CReplyBuffer
{
public:
    static constexpr std::size_t kMapThreshold = std::size_t(256) * 1024;

    CReplyBuffer() noexcept = default;
    ~CReplyBuffer();
    CReplyBuffer(CReplyBuffer&& other) noexcept;
    CReplyBuffer& operator=(CReplyBuffer&& other) noexcept;
    CReplyBuffer(const CReplyBuffer&) = delete;
    CReplyBuffer& operator=(const CReplyBuffer&) = delete;

    char* data() noexcept { return m_pData; }
    const char* data() const noexcept { return m_pData; }
    std::size_t size() const noexcept { return m_uSize; }
    bool empty() const noexcept { return m_uSize == 0; }
    char& operator[](std::size_t uIndex) noexcept { return m_pData[uIndex]; }
    const char& operator[](std::size_t uIndex) const noexcept { return m_pData[uIndex]; }

    // Makes size() at least uSize; it never shrinks. The bytes held keep their
    // values, the new ones are unspecified. Returns false, with the buffer as
    // it was, when the memory is refused.
    bool Grow(std::size_t uSize) noexcept;

    // Whether the storage is a mapping of its own rather than a heap block.
    bool IsMapped() const noexcept { return m_bMapped; }

private:
    bool GrowOnHeap(std::size_t uSize) noexcept;
    bool GrowMapped(std::size_t uSize) noexcept;
    void Release() noexcept;

    char* m_pData = nullptr;
    std::size_t m_uSize = 0;
    // Bytes reserved: the heap block's size, or the mapping's (whole pages).
    std::size_t m_uCapacity = 0;
    bool m_bMapped = false;
};
