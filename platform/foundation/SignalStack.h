#pragma once

#include <cstddef>

namespace pf {

// The alternate signal stack of a thread: a handler installed with SA_ONSTACK runs on it, so a
// thread that dies of a stack overflow can still report it.
//
// Rules:
// - Each thread has its own (the kernel keeps one per thread); `ensureForCurrentThread` gives
//   the calling thread one of kBytes once and keeps it until the thread ends.
// - Every thread the platform starts (serial queues, the HTTP worker) calls it first, so the
//   crash capture covers them whenever it is enabled.
class SignalStack {
public:
    static constexpr std::size_t kBytes = 256u << 10;

    // False when the stack cannot be made or set.
    static bool ensureForCurrentThread();
};

}
