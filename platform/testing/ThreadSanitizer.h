#pragma once

namespace pf {

// Whether this build runs under ThreadSanitizer, for the few tests that cannot: it does not
// follow a forked child of a threaded process, nor a child that is meant to die by a signal.
class ThreadSanitizer {
public:
    static constexpr bool isActive()
    {
#if defined(__SANITIZE_THREAD__)
        return true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
        return true;
#else
        return false;
#endif
#else
        return false;
#endif
    }
};

}
