#include "HistoryArchive.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr quint16 kWideTag = 0xFFFE;
constexpr qint64 kReadChunk = 64 * 1024;

} // namespace

CHistoryArchive::CHistoryArchive(QIODevice* pDevice, EMode eMode)
    : m_pDevice(pDevice)
    , m_eMode(eMode)
{
}

void CHistoryArchive::AppendLength(QByteArray& ba, quint64 uLength)
{
    // 0xFFFE never appears as a 16-bit length: readers take it for the wide tag.
    char buf[8];
    if (uLength < 0xFF) {
        ba.append(char(uLength));
    } else if (uLength < 0xFFFE) {
        ba.append('\xFF');
        qToLittleEndian<quint16>(quint16(uLength), buf);
        ba.append(buf, 2);
    } else if (uLength < 0xFFFFFFFFu) {
        ba.append("\xFF\xFF\xFF", 3);
        qToLittleEndian<quint32>(quint32(uLength), buf);
        ba.append(buf, 4);
    } else {
        ba.append("\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 7);
        qToLittleEndian<quint64>(uLength, buf);
        ba.append(buf, 8);
    }
}

QByteArray CHistoryArchive::EncodeWide(const QString& str)
{
    QByteArray ba("\xFF\xFE\xFF", 3);
    AppendLength(ba, quint64(str.size()));
    const qsizetype nStart = ba.size();
    ba.resize(nStart + 2 * str.size());
    qToLittleEndian<quint16>(str.utf16(), str.size(), ba.data() + nStart);
    return ba;
}

QByteArray CHistoryArchive::EncodeNarrow(const QByteArray& baText)
{
    QByteArray ba;
    AppendLength(ba, quint64(baText.size()));
    ba.append(baText);
    return ba;
}

bool CHistoryArchive::WriteCount(quint16 uCount)
{
    if (!IsStoring() || m_eStatus != EStatus::Ok)
        return false;
    char buf[2];
    qToLittleEndian<quint16>(uCount, buf);
    if (m_pDevice->write(buf, 2) != 2)
        return Fail(EStatus::WriteFailed);
    return true;
}

bool CHistoryArchive::WriteString(const QString& str)
{
    if (!IsStoring() || m_eStatus != EStatus::Ok)
        return false;
    const QByteArray ba = EncodeWide(str);
    if (m_pDevice->write(ba) != ba.size())
        return Fail(EStatus::WriteFailed);
    return true;
}

bool CHistoryArchive::Fail(EStatus eStatus)
{
    if (m_eStatus == EStatus::Ok)
        m_eStatus = eStatus;
    return false;
}

bool CHistoryArchive::ReadRaw(char* pData, qint64 nSize)
{
    if (!IsLoading() || m_eStatus != EStatus::Ok)
        return false;
    qint64 nDone = 0;
    while (nDone < nSize) {
        const qint64 nRead = m_pDevice->read(pData + nDone, nSize - nDone);
        if (nRead <= 0)
            return Fail(EStatus::Truncated);
        nDone += nRead;
    }
    return true;
}

template <typename T>
bool CHistoryArchive::ReadLittleEndian(T& u)
{
    char buf[sizeof(T)];
    if (!ReadRaw(buf, qint64(sizeof(T))))
        return false;
    u = qFromLittleEndian<T>(buf);
    return true;
}

bool CHistoryArchive::ReadCount(quint16& uCount)
{
    return ReadLittleEndian(uCount);
}

bool CHistoryArchive::ReadPayload(qint64 nBytes, QByteArray& ba)
{
    // On a file the remaining size is known, so an impossible length is
    // refused before anything is allocated; on a stream the buffer only
    // grows as data actually arrives.
    if (!m_pDevice->isSequential() && nBytes > m_pDevice->bytesAvailable())
        return Fail(EStatus::Truncated);
    ba.clear();
    while (ba.size() < nBytes) {
        const qint64 nChunk = std::min<qint64>(kReadChunk, nBytes - ba.size());
        const qsizetype nOld = ba.size();
        ba.resize(nOld + nChunk);
        if (!ReadRaw(ba.data() + nOld, nChunk)) {
            ba.clear();
            return false;
        }
    }
    return true;
}

bool CHistoryArchive::ReadString(QString& str)
{
    quint8 uByte = 0;
    if (!ReadLittleEndian(uByte))
        return false;

    bool bWide = false;
    quint64 uLength = uByte;
    if (uByte == 0xFF) {
        quint16 uWord = 0;
        if (!ReadLittleEndian(uWord))
            return false;
        if (uWord == kWideTag) {
            bWide = true;
            if (!ReadLittleEndian(uByte))
                return false;
            uLength = uByte;
            if (uByte == 0xFF) {
                if (!ReadLittleEndian(uWord))
                    return false;
            }
        }
        if (uByte == 0xFF) {
            uLength = uWord;
            if (uWord == 0xFFFF) {
                quint32 uDword = 0;
                if (!ReadLittleEndian(uDword))
                    return false;
                uLength = uDword;
                if (uDword == 0xFFFFFFFFu) {
                    if (!ReadLittleEndian(uLength))
                        return false;
                }
            }
        }
    }

    if (uLength > kMaxStringChars)
        return Fail(EStatus::Corrupt);

    QByteArray ba;
    if (!ReadPayload(qint64(uLength) * (bWide ? 2 : 1), ba))
        return false;
    if (bWide) {
        str.resize(qsizetype(uLength));
        qFromLittleEndian<quint16>(ba.constData(), qsizetype(uLength), str.data());
    } else {
        str = QString::fromLatin1(ba);
    }
    return true;
}
