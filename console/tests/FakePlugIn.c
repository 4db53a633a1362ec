/* Libraries that look like plug-ins without being usable ones, built in
   three variants by the tests' CMakeLists: without IsPlugInComponent, with
   one that says no, and a listed one without CreatePlugIn. */
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
