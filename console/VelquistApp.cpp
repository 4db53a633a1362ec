#include "VelquistApp.h"

#include "CmdLineParser.h"
#include "InstrumentVISA.h"
#include "StringTable.h"
#include "VelquistDlg.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <QTranslator>

#include <csignal>
#include <limits>

namespace {

// Leading decimal digits, as C's atoi reads them: "3000ms" is 3000 and text
// without digits is 0. Clamped instead of overflowing.
int LeadingInt(const QString& strText)
{
    int n = 0;
    while (n < strText.size() && strText.at(n).isSpace())
        ++n;
    bool bNegative = false;
    if (n < strText.size() && (strText.at(n) == QLatin1Char('-') || strText.at(n) == QLatin1Char('+'))) {
        bNegative = strText.at(n) == QLatin1Char('-');
        ++n;
    }
    qint64 nValue = 0;
    for (; n < strText.size() && strText.at(n) >= QLatin1Char('0') && strText.at(n) <= QLatin1Char('9'); ++n) {
        nValue = nValue * 10 + (strText.at(n).unicode() - '0');
        if (nValue > std::numeric_limits<int>::max()) {
            nValue = qint64(std::numeric_limits<int>::max()) + (bNegative ? 1 : 0);
            break;
        }
    }
    return int(bNegative ? -nValue : nValue);
}

// VelqLink reports what the user must see (the resource manager that cannot
// be opened) through this hook; a message box needs the GUI thread.
void ShowSessionMessage(const QString& strText)
{
    QCoreApplication* pApp = QCoreApplication::instance();
    if (!pApp)
        return;
    auto fnShow = [strText] {
        QMessageBox::critical(QApplication::activeWindow(), QLatin1String(CVelquistApp::kApplication), strText);
    };
    if (QThread::currentThread() == pApp->thread())
        fnShow();
    else
        QMetaObject::invokeMethod(pApp, fnShow, Qt::BlockingQueuedConnection);
}

} // namespace

CVelquistApp::CVelquistApp(int& nArgc, char** ppArgv)
    : QApplication(nArgc, ppArgv)
{
    setOrganizationName(QLatin1String(kOrganization));
    setApplicationName(QLatin1String(kApplication));
    // Wayland shells match windows to the installed desktop entry (and its
    // icon) by this name.
    setDesktopFileName(QStringLiteral("com.tarnove.Velquist"));
}

const QStringList& CVelquistApp::Catalogues()
{
    static const QStringList s_lstCatalogues{QStringLiteral("controls"), QStringLiteral("commands"),
                                             QStringLiteral("console")};
    return s_lstCatalogues;
}

bool CVelquistApp::IgnoreBrokenPipe()
{
#ifdef SIGPIPE
    return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
#else
    return true;
#endif
}

int CVelquistApp::InstallTranslators(QCoreApplication& app)
{
    int nLoaded = 0;
    for (const QString& strCatalogue : Catalogues()) {
        auto* pTranslator = new QTranslator(&app);
        if (pTranslator->load(QStringLiteral(":/i18n/%1_zh_CN.qm").arg(strCatalogue))) {
            app.installTranslator(pTranslator);
            ++nLoaded;
        } else {
            delete pTranslator;
        }
    }
    auto* pQtTranslator = new QTranslator(&app);
    if (pQtTranslator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(pQtTranslator);
    else
        delete pQtTranslator;
    return nLoaded;
}

bool CVelquistApp::ApplyCommandLine(CVelquistDlg& dlg, const QStringList& lstArguments)
{
    if (lstArguments.isEmpty())
        return false;
    const CCmdLineParser parser(CCmdLineParser::JoinArguments(lstArguments));
    if (!parser.HasSwitch(QStringLiteral("VISA")) || !parser.HasSwitch(QStringLiteral("Timeout")))
        return false;
    dlg.m_strResource = parser.GetSwitchValue(QStringLiteral("VISA")).value_or(QString());
    // A time-out the field would refuse keeps the default instead, or every
    // keystroke in the command box would complain about it.
    const int nTimeOut = LeadingInt(parser.GetSwitchValue(QStringLiteral("Timeout")).value_or(QString()));
    if (nTimeOut >= CVelquistDlg::kMinTimeOutMs && nTimeOut <= CVelquistDlg::kMaxTimeOutMs)
        dlg.m_nTimeOut = nTimeOut;
    dlg.m_strCommand = QStringLiteral("*IDN?");
    dlg.m_bUseSettings = 0;
    return true;
}

int CVelquistApp::Run()
{
    const bool bChinese = CStringTable::IsChineseLocale(QLocale::system());
    CStringTable::SetChinese(bChinese);
    if (bChinese)
        InstallTranslators(*this);

    if (!IgnoreBrokenPipe()) {
        QMessageBox::critical(nullptr, QLatin1String(kApplication), CStringTable::Load(CStringTable::kSocketInitFailed));
        return 1;
    }

    CInstrumentVISA::SetMessageHook(&ShowSessionMessage);

    CVelquistDlg dlg;
    QStringList lstArguments = arguments();
    if (!lstArguments.isEmpty())
        lstArguments.removeFirst();
    ApplyCommandLine(dlg, lstArguments);
    dlg.DoModal();
    CInstrumentVISA::SetMessageHook(nullptr);
    return 0;
}
