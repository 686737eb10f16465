// Fontconfig keeps the font caches it builds the first time a widget lays out text until
// the process ends; the leak checker of the sanitizer build is told to ignore them.
extern "C" const char *__lsan_default_suppressions();
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
