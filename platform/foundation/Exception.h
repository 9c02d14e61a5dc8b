#pragma once

#include "platform/foundation/Value.h"

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace pf {

// The platform's exception: a name, a reason and optional user information, carrying the call
// stack of the place that made it (return addresses, innermost first, taken at construction,
// as the platform's exceptions do). `what()` is the reason.
//
// Code that raises one expects it to end the process unless someone catches it; crash capture
// reports its name, reason and stack.
class Exception : public std::exception {
public:
    static constexpr int kMaxFrames = 128;

    Exception(std::string name, std::string reason, Value userInfo = {});

    const std::string& name() const { return m_name; }
    const std::string& reason() const { return m_reason; }
    const Value& userInfo() const { return m_userInfo; }
    const std::vector<std::uintptr_t>& callStackReturnAddresses() const { return m_stack; }

    const char* what() const noexcept override { return m_reason.c_str(); }

private:
    std::string m_name;
    std::string m_reason;
    Value m_userInfo;
    std::vector<std::uintptr_t> m_stack;
};

}
