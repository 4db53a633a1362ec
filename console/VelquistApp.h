#pragma once

#include "AppConstants.h"

#include <QApplication>
#include <QStringList>

class CVelquistDlg;

class CVelquistApp : public QApplication
{
    Q_OBJECT

public:
    CVelquistApp(int& nArgc, char** ppArgv);

    // Prepares the platform, reads the command line and runs the main window
    // modally; returns the process exit code.
    int Run();

    // A write to a closed connection must come back as an error from the
    // VISA layer, not end the process with SIGPIPE.
    static bool IgnoreBrokenPipe();

    // Installs the Chinese catalogues of controls, commands and console (and
    // the toolkit's own, for standard buttons); returns how many loaded.
    static int InstallTranslators(QCoreApplication& app);

    // Applies "-VISA:<resource> -Timeout:<ms>" when both are present and then
    // keeps the run away from the stored settings and history files.
    static bool ApplyCommandLine(CVelquistDlg& dlg, const QStringList& lstArguments);

    static constexpr const char* kOrganization = AppConstants::kOrganization;
    static constexpr const char* kApplication = AppConstants::kApplication;
    static const QStringList& Catalogues();
};
