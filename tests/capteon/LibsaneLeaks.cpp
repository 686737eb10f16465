// Leak-checker suppressions for the sanitizer build, limited to the scanner
// library's own test backend: it keeps a device string from sane_get_devices and,
// when a sheet is abandoned, the read buffer of its reader thread. The library
// unloads the backend at sane_exit, which would leave those stacks without names,
// so the backend is kept loaded here for the whole run.
#include <dlfcn.h>

extern "C" const char *__lsan_default_suppressions();

extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libsane-test.so\n"
           "leak:sane_dll_get_devices\n";
}

namespace {

[[maybe_unused]] void *const g_testBackend =
    dlopen(SANE_BACKEND_DIR "/libsane-test.so.1", RTLD_LAZY | RTLD_NODELETE);

} // namespace
