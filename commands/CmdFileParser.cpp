#include "CmdFileParser.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype kChunkSize = 64 * 1024;

// A valid UTF-8 sequence at pData (at most nLeft bytes) as one code point, or
// 0 bytes when the lead byte does not start a well-formed, shortest-form
// sequence of a scalar value.
int DecodeUtf8Sequence(const unsigned char* pData, qsizetype nLeft, char32_t& uCode)
{
    const unsigned char uLead = pData[0];
    int nLength = 0;
    char32_t uMin = 0;
    if ((uLead & 0xE0) == 0xC0) {
        nLength = 2;
        uCode = uLead & 0x1F;
        uMin = 0x80;
    } else if ((uLead & 0xF0) == 0xE0) {
        nLength = 3;
        uCode = uLead & 0x0F;
        uMin = 0x800;
    } else if ((uLead & 0xF8) == 0xF0) {
        nLength = 4;
        uCode = uLead & 0x07;
        uMin = 0x10000;
    } else {
        return 0;
    }
    if (nLeft < nLength)
        return 0;
    for (int n = 1; n < nLength; ++n) {
        if ((pData[n] & 0xC0) != 0x80)
            return 0;
        uCode = (uCode << 6) | (pData[n] & 0x3F);
    }
    if (uCode < uMin || uCode > 0x10FFFF || (uCode >= 0xD800 && uCode <= 0xDFFF))
        return 0;
    return nLength;
}

} // namespace

CCmdFileParser::CCmdFileParser(const QString& strPath)
    : m_strPath(strPath)
    , m_file(strPath)
{
    // Only regular files: a FIFO or a device would block the window's thread
    // on the first read, and a folder has no lines.
    if (!strPath.isEmpty() && QFileInfo(strPath).isFile())
        m_bOpened = m_file.open(QIODevice::ReadOnly);
}

CCmdFileParser::~CCmdFileParser()
{
    if (m_bOpened)
        m_file.close();
}

bool CCmdFileParser::FillChunk()
{
    // A read error ends the file where it happened; what was read stays valid.
    m_baChunk = m_file.read(kChunkSize);
    m_nChunkPos = 0;
    if (m_bAtStart) {
        m_bAtStart = false;
        // Editors that mark UTF-8 with a byte order mark must not glue it to
        // the first command.
        if (m_baChunk.startsWith("\xEF\xBB\xBF"))
            m_nChunkPos = 3;
    }
    return m_nChunkPos < m_baChunk.size();
}

int CCmdFileParser::GetNextCommand(QString& strCommand, QString& strDescription)
{
    QByteArray baLine;
    bool bEndedByLineFeed = false;
    while (m_bOpened) {
        if (m_nChunkPos >= m_baChunk.size() && !FillChunk())
            break;
        const char* pStart = m_baChunk.constData() + m_nChunkPos;
        const qsizetype nLeft = m_baChunk.size() - m_nChunkPos;
        const void* pLineFeed = std::memchr(pStart, '\n', size_t(nLeft));
        const qsizetype nTake = pLineFeed ? static_cast<const char*>(pLineFeed) - pStart : nLeft;
        baLine.append(pStart, nTake);
        m_nChunkPos += nTake;
        if (pLineFeed) {
            ++m_nChunkPos;
            bEndedByLineFeed = true;
            break;
        }
    }
    baLine.erase(std::remove(baLine.begin(), baLine.end(), '\r'), baLine.end());

    if (baLine.isEmpty() || baLine.at(0) == ';')
        return bEndedByLineFeed ? CMDFILE_SKIPPED : CMDFILE_END;
    SplitCommandLine(DecodeText(baLine), strCommand, strDescription);
    return CMDFILE_COMMAND;
}

void CCmdFileParser::SplitCommandLine(const QString& strLine, QString& strCommand, QString& strDescription)
{
    strCommand.clear();
    strDescription.clear();
    const qsizetype nBar = strLine.indexOf(QLatin1Char('|'));
    if (nBar < 0) {
        strCommand = strLine;
        return;
    }
    strCommand = strLine.left(nBar);
    strDescription = strLine.mid(nBar + 1);
}

QString CCmdFileParser::DecodeText(const char* pData, qsizetype nSize)
{
    const auto* pBytes = reinterpret_cast<const unsigned char*>(pData);
    QString strText;
    strText.reserve(nSize);
    qsizetype n = 0;
    while (n < nSize) {
        const unsigned char uByte = pBytes[n];
        char32_t uCode = 0;
        const int nLength = uByte < 0x80 ? 0 : DecodeUtf8Sequence(pBytes + n, nSize - n, uCode);
        if (nLength == 0) {
            strText += QChar(char16_t(uByte));
            ++n;
            continue;
        }
        if (QChar::requiresSurrogates(uCode)) {
            strText += QChar(QChar::highSurrogate(uCode));
            strText += QChar(QChar::lowSurrogate(uCode));
        } else {
            strText += QChar(char16_t(uCode));
        }
        n += nLength;
    }
    return strText;
}
