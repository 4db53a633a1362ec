#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>

class QWidget;

// Finds the plug-in libraries beside the executable once, offers them in a
// popup menu, and hands the chosen one the last answer and the current
// command. It keeps nothing of a plug-in but its path; the plug-in's window
// belongs to the plug-in. Every failure here is silent: a library that will
// not load or does not answer as a plug-in is left out, and a menu entry
// whose library has gone does nothing.
class CPlugInHost : public QObject
{
    Q_OBJECT

public:
    // Menu command identifiers; an entry past the 21st is shown but has an
    // identifier nothing handles.
    static constexpr int kFirstCommandId = 1203;
    static constexpr int kLastCommandId = 1223;

    // pOwner owns the plug-in windows: the console's main window runs
    // modally, so a window it does not own would get no input.
    explicit CPlugInHost(QWidget* pOwner);

    // Scans the "plugins" folder beside strExecutablePath.
    void LoadPlugInList(const QString& strExecutablePath);
    const QStringList& GetPlugInPaths() const { return m_saPlugInPaths; }

    // Opens the menu at the top-right corner of pButton; a chosen entry is
    // announced by PlugInChosen.
    void ShowPlugInMenu(QWidget* pButton);
    // pAnswer is null before the first read; the bytes need no NUL after them.
    void InvokePlugIn(int nCommandId, const char* pAnswer, std::uint64_t uLength, const QString& strCommand);

    static QString PlugInFolder(const QString& strExecutablePath);
    static QString MenuText(const QString& strPath);
    // The contract's count is a signed 32-bit number: a longer answer is
    // passed as its first INT32_MAX bytes.
    static std::int32_t AnswerLength(std::uint64_t uLength);

signals:
    void PlugInChosen(int nCommandId);

private:
    QWidget* m_pOwner;
    QStringList m_saPlugInPaths;
};
