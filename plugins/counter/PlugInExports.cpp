// The library's side of the plug-in contract; the window is
// CCountValNumPlugInDlg.
#include "CountValNumPlugInDlg.h"
#include "PlugInCatalogue.h"
#include "PlugInWindow.h"
#include "PluginContract.h"

namespace {

PlugInInstance g_plugInInstance;
QTranslator* g_pCatalogue = nullptr;

} // namespace

const char16_t* GetPlugInName(void)
{
    return u"Count Value Number";
}

int32_t IsPlugInComponent(void)
{
    return 1;
}

PlugInInstance* CreatePlugIn(PlugInInstance* pInstance, const PlugInInput* pInput)
{
    try {
        VelqPlugIn::InstallCatalogue(g_pCatalogue, QLatin1String(CCountValNumPlugInDlg::kCataloguePath));
    } catch (...) {
        // Without its catalogue the window is still usable, in English.
    }
    return VelqPlugIn::Create<CCountValNumPlugInDlg>(g_plugInInstance, pInstance, pInput);
}

void DestroyPlugIn(PlugInInstance* pInstance)
{
    VelqPlugIn::Destroy(g_plugInInstance, pInstance);
}
