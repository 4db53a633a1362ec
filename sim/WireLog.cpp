#include "WireLog.h"

#include <cerrno>
#include <cstring>

CWireLog::~CWireLog()
{
    if (m_pFile)
        std::fclose(m_pFile);
}

bool CWireLog::Open(const std::string& strPath, std::string& strError)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    std::FILE* pFile = std::fopen(strPath.c_str(), "wb");
    if (!pFile) {
        strError = "cannot open wire log " + strPath + ": " + std::strerror(errno);
        return false;
    }
    if (m_pFile)
        std::fclose(m_pFile);
    m_pFile = pFile;
    return true;
}

static void AppendEscaped(std::string& strOut, unsigned char c)
{
    static const char kHex[] = "0123456789abcdef";
    if (c == '\\') {
        strOut += "\\\\";
    } else if (c == '\n') {
        strOut += "\\n";
    } else if (c == '\r') {
        strOut += "\\r";
    } else if (c >= 0x20 && c < 0x7f) {
        strOut += static_cast<char>(c);
    } else {
        strOut += "\\x";
        strOut += kHex[c >> 4];
        strOut += kHex[c & 0x0f];
    }
}

void CWireLog::LogMessage(const char* pData, size_t nLen)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    if (!m_pFile)
        return;
    // Escape in slices: an uploaded file of many megabytes must not need four
    // times its size in memory at once.
    const size_t kSlice = 64 * 1024;
    std::string strChunk;
    for (size_t nOff = 0; nOff < nLen; nOff += kSlice) {
        strChunk.clear();
        const size_t nEnd = nLen - nOff < kSlice ? nLen : nOff + kSlice;
        for (size_t i = nOff; i < nEnd; ++i)
            AppendEscaped(strChunk, static_cast<unsigned char>(pData[i]));
        std::fwrite(strChunk.data(), 1, strChunk.size(), m_pFile);
    }
    std::fputc('\n', m_pFile);
    std::fflush(m_pFile);
}
