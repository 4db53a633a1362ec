/*
 * The plug-in contract of the Velquist console.
 *
 * A plug-in is a shared library in the "plugins" folder beside the console
 * executable (bin/plugins/NAME.so). The console lists it under "Plugins" by
 * its file name stem and knows it only through the four functions below,
 * exported as plain C symbols. This header is all a plug-in needs; the
 * source tree's plugins/example/ExamplePlugIn.cpp is a complete plug-in
 * written from it alone.
 *
 * Calls: every function is called on the console's user-interface thread.
 * The console calls IsPlugInComponent() once per library at start-up on a
 * library it unloads again at once, so it must have no side effects.
 * CreatePlugIn() is called each time the user picks the plug-in; a library on
 * which it was called is never unloaded. The console never calls
 * GetPlugInName() or DestroyPlugIn(), and ignores the returned record.
 *
 * Ownership and lifetimes:
 * - PlugInInput and everything it points to belong to the console and are
 *   valid only during the CreatePlugIn() call: copy whatever you keep.
 * - answerData is null before the console's first read. Otherwise it holds
 *   answerLength raw bytes of the last answer (text in ISO 8859-1, or binary
 *   block data). Do not rely on a NUL after them: bound every read of the
 *   answer by answerLength. An answer of 2 GiB or more is passed as
 *   INT32_MAX bytes.
 * - commandText is never null; it is empty when there is no command.
 * - ownerWindow is the console's main window (a QWidget* on Qt builds; host
 *   and plug-ins use the same Qt). Create your window owned by it: the main
 *   window runs modally, so an unowned window would get no input.
 * - One window per library. Keep a module-level PlugInInstance
 *   (g_plugInInstance). CreatePlugIn() re-uses the window while it exists
 *   (shows it where it was and loads the new input), otherwise creates it.
 *   The window's Exit/Cancel button and close box only hide it. When the
 *   window is destroyed, for whatever reason (DestroyPlugIn(), or its owner
 *   going away), free the window object and clear window and windowObject in
 *   g_plugInInstance, so the next CreatePlugIn() makes a fresh window.
 * - Memory is freed by whichever side allocated it. No C++ exception may
 *   leave any of these functions.
 */
#ifndef VELQ_PLUGIN_CONTRACT_H
#define VELQ_PLUGIN_CONTRACT_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#if defined(_WIN32)
#define VELQ_PLUGIN_API __declspec(dllexport)
#else
#define VELQ_PLUGIN_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** What the console hands a plug-in; filled on the console's stack. */
typedef struct PlugInInput {
    void* ownerWindow;           /**< the console's main window */
    const char* answerData;      /**< last answer's bytes, or null before the first read */
    int32_t answerLength;        /**< bytes at answerData, never negative */
    const char16_t* commandText; /**< current command, NUL-terminated UTF-16, never null */
    intptr_t reserved;           /**< always 0 */
} PlugInInput;

/** What a plug-in reports back; the caller supplies the storage. */
typedef struct PlugInInstance {
    void* window;       /**< the plug-in's window, or null */
    intptr_t reserved1; /**< always 0 */
    intptr_t reserved2; /**< always 0 */
    intptr_t reserved3; /**< always 0 */
    void* windowObject; /**< the plug-in's own window object; opaque to others */
} PlugInInstance;

/** The display name, static NUL-terminated UTF-16 text owned by the library. */
VELQ_PLUGIN_API const char16_t* GetPlugInName(void);
/** Non-zero when the library is a plug-in. No side effects. */
VELQ_PLUGIN_API int32_t IsPlugInComponent(void);
/** Clears *pInstance, shows the window for *pInput and fills *pInstance;
 *  returns pInstance. On failure the record stays all zero. */
VELQ_PLUGIN_API PlugInInstance* CreatePlugIn(PlugInInstance* pInstance, const PlugInInput* pInput);
/** Destroys the window described by a record CreatePlugIn filled. A null
 *  pointer or a record without windowObject is ignored. */
VELQ_PLUGIN_API void DestroyPlugIn(PlugInInstance* pInstance);

/* The host looks the functions up by these names. */
#define VELQ_PLUGIN_SYMBOL_NAME "GetPlugInName"
#define VELQ_PLUGIN_SYMBOL_IS_COMPONENT "IsPlugInComponent"
#define VELQ_PLUGIN_SYMBOL_CREATE "CreatePlugIn"
#define VELQ_PLUGIN_SYMBOL_DESTROY "DestroyPlugIn"

typedef const char16_t* (*PfnGetPlugInName)(void);
typedef int32_t (*PfnIsPlugInComponent)(void);
typedef PlugInInstance* (*PfnCreatePlugIn)(PlugInInstance*, const PlugInInput*);
typedef void (*PfnDestroyPlugIn)(PlugInInstance*);

#ifdef __cplusplus
}
#endif

#endif /* VELQ_PLUGIN_CONTRACT_H */
