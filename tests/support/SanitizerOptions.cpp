// Built into every test program of the sanitizer build, so the options hold however
// the test is started (ctest, a debugger, by hand).
extern "C" {

const char *__asan_default_options()
{
    // Allocation failure must come back as null: the memory functions promise it.
    return "detect_leaks=1:allocator_may_return_null=1";
}

const char *__ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}

// Leaks inside system libraries that keep process-lifetime caches; not ours to fix.
const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig\n"
           "leak:libfreetype\n"
           "leak:libdbus\n"
           "leak:libglib\n"
           "leak:libgobject\n"
           "leak:libxkbcommon\n"
           "leak:libsane\n"
           "leak:sane_dll_get_devices\n"
           "leak:libusb\n"
           "leak:libavahi\n";
}
}
