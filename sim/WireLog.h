#pragma once

#include <cstdio>
#include <mutex>
#include <string>

// The wire log shared by every server of the process: one line per received
// program message, its bytes escaped so that the line is plain ASCII and
// tests can compare it byte for byte. Printable ASCII other than backslash
// stays as is; backslash is \\, LF \n, CR \r, anything else \xHH (lower case).
class CWireLog
{
public:
    CWireLog() = default;
    ~CWireLog();

    CWireLog(const CWireLog&) = delete;
    CWireLog& operator=(const CWireLog&) = delete;

    // Truncates or creates the file. Without a file, logging does nothing.
    bool Open(const std::string& strPath, std::string& strError);

    // Writes one line and flushes it, so a test may read the file at any time.
    void LogMessage(const char* pData, size_t nLen);
    void LogMessage(const std::string& strMessage) { LogMessage(strMessage.data(), strMessage.size()); }

private:
    mutable std::mutex m_mtx;
    std::FILE* m_pFile = nullptr;
};
