#include "api/visa_passthrough.h"

#include <cstdlib>
#include <dlfcn.h>
#include <mutex>

namespace velq {

namespace {

template <typename F>
void bind(void *lib, const char *name, F *slot, F own)
{
    void *sym = ::dlsym(lib, name);
    // A variable that names this very library would otherwise forward each call to itself forever.
    if (sym && sym != reinterpret_cast<void *>(own))
        *slot = reinterpret_cast<F>(sym);
}

vendor_visa load()
{
    vendor_visa v;
    const char *path = std::getenv("VELQ_VISA_LIBRARY");
    if (!path || !*path)
        return v;
    v.active = true;
    void *lib = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        v.load_status = VI_ERROR_LIBRARY_NFOUND;
        return v;
    }
#define VELQ_BIND(fn) bind(lib, #fn, &v.fn, &::fn)
    VELQ_BIND(viOpenDefaultRM);
    VELQ_BIND(viFindRsrc);
    VELQ_BIND(viFindNext);
    VELQ_BIND(viParseRsrc);
    VELQ_BIND(viParseRsrcEx);
    VELQ_BIND(viOpen);
    VELQ_BIND(viClose);
    VELQ_BIND(viSetAttribute);
    VELQ_BIND(viGetAttribute);
    VELQ_BIND(viStatusDesc);
    VELQ_BIND(viLock);
    VELQ_BIND(viUnlock);
    VELQ_BIND(viEnableEvent);
    VELQ_BIND(viDisableEvent);
    VELQ_BIND(viDiscardEvents);
    VELQ_BIND(viRead);
    VELQ_BIND(viWrite);
    VELQ_BIND(viClear);
    VELQ_BIND(viReadSTB);
    VELQ_BIND(viAssertTrigger);
    VELQ_BIND(viGpibControlREN);
#undef VELQ_BIND
    // Without the entry point nothing can be opened through it: report the library as unusable.
    if (!v.viOpenDefaultRM)
        v.load_status = VI_ERROR_LIBRARY_NFOUND;
    return v;
}

} // namespace

const vendor_visa &vendor()
{
    static const vendor_visa v = load();
    return v;
}

} // namespace velq
