// The scanner library's airscan backend keeps a few small blocks until the process
// ends; the shared sanitizer options suppress them by the library's name. The library
// unloads the backend at sane_exit, which would leave those stacks without names, so
// the backend is kept loaded here for the whole run.
#include <dlfcn.h>

namespace {

[[maybe_unused]] void *const g_airscanBackend =
    dlopen(SANE_BACKEND_DIR "/libsane-airscan.so.1", RTLD_LAZY | RTLD_NODELETE);

} // namespace
