// The library's side of the plug-in contract; the window is
// CSCPICmdConvertDlg. It has no catalogue: the window is English only.
#include "PlugInWindow.h"
#include "PluginContract.h"
#include "SCPICmdConvertDlg.h"

namespace {

PlugInInstance g_plugInInstance;

} // namespace

const char16_t* GetPlugInName(void)
{
    return u"SCPI Commands Convertor";
}

int32_t IsPlugInComponent(void)
{
    return 1;
}

PlugInInstance* CreatePlugIn(PlugInInstance* pInstance, const PlugInInput* pInput)
{
    return VelqPlugIn::Create<CSCPICmdConvertDlg>(g_plugInInstance, pInstance, pInput);
}

void DestroyPlugIn(PlugInInstance* pInstance)
{
    VelqPlugIn::Destroy(g_plugInInstance, pInstance);
}
