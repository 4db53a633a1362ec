/* Libraries that look like plug-ins without being usable ones, built in
   variants by the tests' CMakeLists: without IsPlugInComponent, with one
   that says no, one without CreatePlugIn, and one whose CreatePlugIn calls a
   function that no library provides. */
#include "PluginContract.h"

#ifdef VELQ_FAKE_IS_COMPONENT
VELQ_PLUGIN_API int32_t IsPlugInComponent(void)
{
    return VELQ_FAKE_IS_COMPONENT;
}
#endif

VELQ_PLUGIN_API const char16_t* GetPlugInName(void)
{
    return u"Fake";
}

#ifdef VELQ_FAKE_UNRESOLVED
void velq_fake_missing_function(void);

VELQ_PLUGIN_API PlugInInstance* CreatePlugIn(PlugInInstance* pInstance, const PlugInInput* pInput)
{
    (void)pInput;
    velq_fake_missing_function();
    return pInstance;
}
#endif
