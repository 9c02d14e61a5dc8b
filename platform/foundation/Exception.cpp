#include "platform/foundation/Exception.h"

#include <execinfo.h>

namespace pf {

// Kept out of line so its own return address marks where the maker's frames begin (the stack
// walk may add frames of its own before it, as instrumented builds do).
__attribute__((noinline)) Exception::Exception(std::string name, std::string reason, Value userInfo)
    : m_name(std::move(name))
    , m_reason(std::move(reason))
    , m_userInfo(std::move(userInfo))
{
    constexpr int kOwnFrames = 4;
    void* frames[kMaxFrames + kOwnFrames];
    int count = ::backtrace(frames, kMaxFrames + kOwnFrames);
    void* caller = __builtin_return_address(0);
    int first = 1;
    for (int i = 0; i < count && i < kOwnFrames; ++i) {
        if (frames[i] == caller) {
            first = i;
            break;
        }
    }
    for (int i = first; i < count && static_cast<int>(m_stack.size()) < kMaxFrames; ++i)
        m_stack.push_back(reinterpret_cast<std::uintptr_t>(frames[i]));
}

}
