// The scanner library's test backend keeps a device string from sane_get_devices and,
// when a sheet is abandoned, the read buffer of its reader thread; the shared sanitizer
// options suppress both. The library unloads the backend at sane_exit, which would leave
// those stacks without names, so the backend is kept loaded here for the whole run.
#include <dlfcn.h>

namespace {

[[maybe_unused]] void *const g_testBackend =
    dlopen(SANE_BACKEND_DIR "/libsane-test.so.1", RTLD_LAZY | RTLD_NODELETE);

} // namespace
