#include "tests/support/NoHardLinks.h"

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_refused { false };

template <typename F> F next(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}

namespace testsupport {

NoHardLinks::NoHardLinks()
{
    g_refused = true;
}

NoHardLinks::~NoHardLinks()
{
    g_refused = false;
}

}

extern "C" {

int link(const char* from, const char* to)
{
    static auto real = next<int (*)(const char*, const char*)>("link");
    if (g_refused) {
        errno = EPERM;
        return -1;
    }
    return real(from, to);
}

int linkat(int fromDirectory, const char* from, int toDirectory, const char* to, int flags)
{
    static auto real = next<int (*)(int, const char*, int, const char*, int)>("linkat");
    if (g_refused) {
        errno = EPERM;
        return -1;
    }
    return real(fromDirectory, from, toDirectory, to, flags);
}

}
