// The font library keeps caches for the life of the process and never frees them; the portal's
// pictures draw text through it.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
