#pragma once

#include <QString>
#include <QStringList>

// Finds the desktop's registered web browser (the handler of http links) and
// the command line that opens a target in it, without starting anything.
// The results are the shell's classic codes, so the link control reports a
// failed look-up with the same texts as a failed open.
class CBrowserLookup
{
public:
    static constexpr int kFound = 0;
    static constexpr int kErrorFileNotFound = 2;
    static constexpr int kErrorAccessDenied = 5;
    static constexpr int kErrorAssocIncomplete = 27;
    static constexpr int kErrorNoAssociation = 31;

    // On kFound, pstrProgram is an executable file and plstArgs its arguments,
    // the target last.
    static int FindBrowser(const QString& strTarget, QString* pstrProgram, QStringList* plstArgs);

    // The browser's argument vector from a desktop entry's Exec line: cut at
    // its URL field code, the target appended as one argument of its own.
    static QStringList CommandLine(const QString& strExec, const QString& strTarget);

    // The Exec line of a desktop entry file; empty with *pnError set when the
    // file is missing, too large or has none.
    static QString ReadDesktopExec(const QString& strPath, int* pnError);
};
