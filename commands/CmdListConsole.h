#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

// What the command list window needs of the console that owns it. The
// console outlives the window.
class ICmdListConsole
{
public:
    // Hands a copy of the commands to the console's worker, which sends them
    // in order; 0 when a run is already going or the list is empty.
    virtual int RunCommandList(const QStringList& lstCommands) = 0;
    virtual bool IsInstrumentConnected() const = 0;
    // Replaces the text of the console's command field; nothing is sent.
    virtual void SetCommandText(const QString& strCommand) = 0;
    virtual QIcon GetConsoleIcon() const = 0;

protected:
    ~ICmdListConsole() = default;
};
