// The four exports of the plug-in contract. Everything the console hands
// over is copied during CreatePlugIn; the window is ours and lives until its
// owner, the console's main window, goes away.
#include "WaveformDlg.h"

#include "PluginContract.h"

#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace {

PlugInInstance g_plugInInstance = {};

// Once per process: installing it again on every window would stack copies.
void InstallTranslator()
{
    static bool s_bDone = false;
    if (s_bDone || !qApp)
        return;
    s_bDone = true;
    if (QLocale::system().language() != QLocale::Chinese)
        return;
    auto* pTranslator = new QTranslator(qApp);
    if (pTranslator->load(QStringLiteral(":/velqwaveform/i18n/VelqWaveform_zh_CN.qm")))
        qApp->installTranslator(pTranslator);
    else
        delete pTranslator;
}

void LoadInto(CWaveformDlg& dlg, const PlugInInput& input)
{
    dlg.LoadInput(input.answerData, input.answerData ? input.answerLength : 0);
}

} // namespace

extern "C" {

VELQ_PLUGIN_API const char16_t* GetPlugInName(void)
{
    return u"Waveform Viewer";
}

VELQ_PLUGIN_API int32_t IsPlugInComponent(void)
{
    return 1;
}

VELQ_PLUGIN_API PlugInInstance* CreatePlugIn(PlugInInstance* pInstance, const PlugInInput* pInput)
{
    if (!pInstance)
        return nullptr;
    std::memset(pInstance, 0, sizeof *pInstance);
    if (!pInput)
        return pInstance;
    try {
        auto* pDlg = static_cast<CWaveformDlg*>(g_plugInInstance.windowObject);
        if (pDlg) {
            // Shown where the user left it, with the new answer.
            pDlg->show();
            pDlg->activateWindow();
            pDlg->setFocus();
            LoadInto(*pDlg, *pInput);
            pDlg->repaint();
            pInstance->window = static_cast<QWidget*>(pDlg);
            pInstance->windowObject = pDlg;
            return pInstance;
        }
        InstallTranslator();
        pDlg = new CWaveformDlg(static_cast<QWidget*>(pInput->ownerWindow));
        // Whoever destroys the window (DestroyPlugIn or the owner), the next
        // invocation must make a fresh one rather than touch a dead object.
        QObject::connect(pDlg, &QObject::destroyed, []() {
            g_plugInInstance.window = nullptr;
            g_plugInInstance.windowObject = nullptr;
        });
        pDlg->showNormal();
        pDlg->activateWindow();
        LoadInto(*pDlg, *pInput);
        pDlg->repaint();
        pInstance->window = static_cast<QWidget*>(pDlg);
        pInstance->windowObject = pDlg;
        g_plugInInstance = *pInstance;
    } catch (...) {
        // No exception may reach the console; failure is an empty record.
        std::memset(pInstance, 0, sizeof *pInstance);
    }
    return pInstance;
}

VELQ_PLUGIN_API void DestroyPlugIn(PlugInInstance* pInstance)
{
    // A record of a window that is already gone no longer names the current
    // one, so an object is never freed twice.
    if (!pInstance || !pInstance->windowObject || pInstance->windowObject != g_plugInInstance.windowObject)
        return;
    delete static_cast<CWaveformDlg*>(g_plugInInstance.windowObject);
}

} // extern "C"
