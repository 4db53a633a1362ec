#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class CVelquistDlg;

// Copies a local file into the instrument's mass memory: one message names
// it in C:\Temp, a second carries its bytes as a definite-length block.
class CFileUpload : public QObject
{
    Q_OBJECT

public:
    explicit CFileUpload(CVelquistDlg& dlg);

    void UploadFile();

    // "#<digits><size>": the IEEE 488.2 definite-length block header.
    static QByteArray BlockHeader(qint64 nSize);
    // strName as the text of a quoted SCPI string.
    static QString QuotedName(const QString& strName);
    // The data message without the file's bytes: MMEM:DATA 'name',#<n><size>.
    static QString DataCommand(const QString& strName, qint64 nSize);

    // A message's byte count is a signed 32-bit number on the way to the instrument.
    static constexpr qint64 kMaxMessage = 0x7FFFFFFF;

private:
    CVelquistDlg& m_dlg;
};
