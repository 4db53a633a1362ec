// The library's four exports: one hex display window per library.
#include "HexDisplayDlg.h"
#include "PlugInWindow.h"
#include "PluginContract.h"

#include <QCoreApplication>

namespace {

PlugInInstance g_plugInInstance{};

} // namespace

extern "C" {

VELQ_PLUGIN_API const char16_t* GetPlugInName(void)
{
    return u"Hexadecimal Display";
}

VELQ_PLUGIN_API int32_t IsPlugInComponent(void)
{
    return 1;
}

VELQ_PLUGIN_API PlugInInstance* CreatePlugIn(PlugInInstance* pInstance, const PlugInInput* pInput)
{
    try {
        // Before the window exists, so that its texts come out translated.
        if (QCoreApplication* pApp = QCoreApplication::instance(); pApp && CHexDisplayDlg::IsChineseLocale())
            CHexDisplayDlg::InstallTranslator(*pApp);
    } catch (...) {
    }
    return VelqPlugIn::Create<CHexDisplayDlg>(g_plugInInstance, pInstance, pInput);
}

VELQ_PLUGIN_API void DestroyPlugIn(PlugInInstance* pInstance)
{
    try {
        VelqPlugIn::Destroy(g_plugInInstance, pInstance);
    } catch (...) {
    }
}

} // extern "C"
