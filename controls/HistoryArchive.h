#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// The history file's binary form: little-endian integers and length-prefixed
// strings. Strings are written wide (UTF-16LE behind the FF FE FF tag); 8-bit
// strings are accepted on load and widened as Latin-1. Reading never trusts a
// length: a string longer than the data that is left is a corrupt file.
class CHistoryArchive
{
public:
    enum class EMode { Load, Store };
    enum class EStatus { Ok, Truncated, Corrupt, WriteFailed };

    CHistoryArchive(QIODevice* pDevice, EMode eMode);

    bool IsLoading() const { return m_eMode == EMode::Load; }
    bool IsStoring() const { return m_eMode == EMode::Store; }
    EStatus GetStatus() const { return m_eStatus; }

    bool WriteCount(quint16 uCount);
    bool WriteString(const QString& str);
    bool ReadCount(quint16& uCount);
    bool ReadString(QString& str);

    static QByteArray EncodeWide(const QString& str);
    static QByteArray EncodeNarrow(const QByteArray& baText);

    // Longest string accepted on load, in characters; far beyond any real
    // history entry, and small enough that QString can always hold it.
    static constexpr quint64 kMaxStringChars = quint64(1) << 28;

private:
    static void AppendLength(QByteArray& ba, quint64 uLength);
    bool ReadRaw(char* pData, qint64 nSize);
    template <typename T>
    bool ReadLittleEndian(T& u);
    bool ReadPayload(qint64 nBytes, QByteArray& ba);
    bool Fail(EStatus eStatus);

    QIODevice* m_pDevice;
    EMode m_eMode;
    EStatus m_eStatus = EStatus::Ok;
};
