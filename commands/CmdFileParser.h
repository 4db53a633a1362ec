#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Results of CCmdFileParser::GetNextCommand.
inline constexpr int CMDFILE_COMMAND = 0;
inline constexpr int CMDFILE_END = 1;
inline constexpr int CMDFILE_SKIPPED = 2;

// Reads a command file one command at a time: one command per line,
// optionally "command|description", with ";" in the first column marking a
// comment. Forward only; one parser reads one file once.
class CCmdFileParser
{
public:
    explicit CCmdFileParser(const QString& strPath);
    virtual ~CCmdFileParser();
    CCmdFileParser(const CCmdFileParser&) = delete;
    CCmdFileParser& operator=(const CCmdFileParser&) = delete;

    bool IsOpen() const { return m_bOpened; }

    // CMDFILE_COMMAND with both outputs replaced; CMDFILE_SKIPPED or
    // CMDFILE_END (the file is exhausted) with both left as they were.
    int GetNextCommand(QString& strCommand, QString& strDescription);

    // The console's text files are UTF-8; a byte that does not start a valid
    // UTF-8 sequence is taken as Latin-1, so files written by older 8-bit
    // editors still read as their author meant.
    static QString DecodeText(const char* pData, qsizetype nSize);
    static QString DecodeText(const QByteArray& baText) { return DecodeText(baText.constData(), baText.size()); }

    // Everything before the first "|" is the command, everything after it
    // the description; neither is trimmed.
    static void SplitCommandLine(const QString& strLine, QString& strCommand, QString& strDescription);

private:
    bool FillChunk();

    QString m_strPath;
    QFile m_file;
    bool m_bOpened = false;
    QByteArray m_baChunk;
    qsizetype m_nChunkPos = 0;
    bool m_bAtStart = true;
};
