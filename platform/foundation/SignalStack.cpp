#include "platform/foundation/SignalStack.h"

#include <csignal>
#include <cstdlib>

namespace pf {

namespace {

struct ThreadStack {
    void* memory { nullptr };

    bool install()
    {
        if (memory)
            return true;
        stack_t current {};
        // A stack someone else gave this thread (a sanitizer's, a handler's own) stays.
        if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
            return true;
        void* allocated = std::malloc(SignalStack::kBytes);
        if (!allocated)
            return false;
        stack_t stack {};
        stack.ss_sp = allocated;
        stack.ss_size = SignalStack::kBytes;
        if (::sigaltstack(&stack, nullptr) != 0) {
            std::free(allocated);
            return false;
        }
        memory = allocated;
        return true;
    }

    ~ThreadStack()
    {
        if (!memory)
            return;
        stack_t off {};
        off.ss_flags = SS_DISABLE;
        ::sigaltstack(&off, nullptr);
        std::free(memory);
    }
};

}

bool SignalStack::ensureForCurrentThread()
{
    thread_local ThreadStack stack;
    return stack.install();
}

}
