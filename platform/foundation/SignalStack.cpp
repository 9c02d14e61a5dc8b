#include "platform/foundation/SignalStack.h"

#include <csignal>

namespace pf {

SignalStack::SignalStack()
{
    stack_t current {};
    if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) {
        m_active = true;
        return;
    }
    stack_t stack {};
    stack.ss_sp = m_bytes;
    stack.ss_size = sizeof m_bytes;
    m_installed = m_active = ::sigaltstack(&stack, nullptr) == 0;
}

SignalStack::~SignalStack()
{
    if (!m_installed)
        return;
    stack_t off {};
    off.ss_flags = SS_DISABLE;
    ::sigaltstack(&off, nullptr);
}

}
