#pragma once

#include <cstddef>

namespace pf {

// An alternate signal stack for the thread that makes it, for as long as it lives: a handler
// installed with SA_ONSTACK runs on it, so a thread that dies of a stack overflow can still
// report it.
//
// Rules:
// - The kernel keeps one per thread. Every thread the platform starts (serial queues, the HTTP
//   worker) makes one as a local of its thread function, so the crash capture covers them
//   whenever it is enabled; the crash capture makes one for the thread that enables it.
// - The bytes are the object's own (on the thread's stack, or static): nothing is allocated and
//   nothing has to run at thread exit but this destructor.
// - A thread that already has a signal stack (a sanitizer's) keeps it.
class SignalStack {
public:
    static constexpr std::size_t kBytes = 256u << 10;

    SignalStack();
    ~SignalStack();
    SignalStack(const SignalStack&) = delete;
    SignalStack& operator=(const SignalStack&) = delete;

    // Whether the thread has a signal stack now (this one or one it had).
    bool active() const { return m_active; }

private:
    alignas(16) unsigned char m_bytes[kBytes];
    bool m_installed { false };
    bool m_active { false };
};

}
