#include "ReplyBuffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#define VELQ_REPLY_BUFFER_MREMAP 1
#endif

CReplyBuffer::~CReplyBuffer()
{
    Release();
}

CReplyBuffer::CReplyBuffer(CReplyBuffer&& other) noexcept
    : m_pData(std::exchange(other.m_pData, nullptr))
    , m_uSize(std::exchange(other.m_uSize, 0))
    , m_uCapacity(std::exchange(other.m_uCapacity, 0))
    , m_bMapped(std::exchange(other.m_bMapped, false))
{
}

CReplyBuffer& CReplyBuffer::operator=(CReplyBuffer&& other) noexcept
{
    if (this != &other) {
        Release();
        m_pData = std::exchange(other.m_pData, nullptr);
        m_uSize = std::exchange(other.m_uSize, 0);
        m_uCapacity = std::exchange(other.m_uCapacity, 0);
        m_bMapped = std::exchange(other.m_bMapped, false);
    }
    return *this;
}

bool CReplyBuffer::Grow(std::size_t uSize) noexcept
{
    if (uSize <= m_uSize)
        return true;
    if (uSize <= m_uCapacity) {
        m_uSize = uSize;
        return true;
    }
    if (uSize >= kMapThreshold)
        return GrowMapped(uSize);
    return GrowOnHeap(uSize);
}

bool CReplyBuffer::GrowOnHeap(std::size_t uSize) noexcept
{
    // Only ever a heap block here: a mapping is never handed to realloc.
    void* pGrown = std::realloc(m_pData, uSize);
    if (!pGrown)
        return false;
    m_pData = static_cast<char*>(pGrown);
    m_uSize = uSize;
    m_uCapacity = uSize;
    return true;
}

bool CReplyBuffer::GrowMapped(std::size_t uSize) noexcept
{
#if defined(VELQ_REPLY_BUFFER_MREMAP)
    const long lPage = sysconf(_SC_PAGESIZE);
    const std::size_t uPage = lPage > 0 ? std::size_t(lPage) : std::size_t(4096);
    if (uSize > std::numeric_limits<std::size_t>::max() - (uPage - 1))
        return false;
    const std::size_t uMapped = (uSize + uPage - 1) / uPage * uPage;
    void* pGrown = nullptr;
    if (m_bMapped) {
        // The kernel moves the page tables: no byte is copied, and pages no
        // answer has reached stay unallocated.
        pGrown = mremap(m_pData, m_uCapacity, uMapped, MREMAP_MAYMOVE);
        if (pGrown == MAP_FAILED)
            return false;
    } else {
        pGrown = mmap(nullptr, uMapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pGrown == MAP_FAILED)
            return false;
        // The one copy a buffer ever sees: at most the heap block below the threshold.
        if (m_uSize != 0)
            std::memcpy(pGrown, m_pData, m_uSize);
        std::free(m_pData);
        m_bMapped = true;
    }
    m_pData = static_cast<char*>(pGrown);
    m_uSize = uSize;
    m_uCapacity = uMapped;
    return true;
#else
    return GrowOnHeap(uSize);
#endif
}

void CReplyBuffer::Release() noexcept
{
#if defined(VELQ_REPLY_BUFFER_MREMAP)
    if (m_bMapped) {
        munmap(m_pData, m_uCapacity);
        m_pData = nullptr;
    }
#endif
    std::free(m_pData);
    m_pData = nullptr;
    m_uSize = 0;
    m_uCapacity = 0;
    m_bMapped = false;
}
