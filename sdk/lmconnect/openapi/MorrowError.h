#pragma once

#include "platform/foundation/UrlError.h"
#include "platform/foundation/Value.h"

#include <string>

// A failure of an LM Connect exchange: a transport failure of the platform (domain
// "URLErrorDomain", its codes) or a refusal written in the reply (domain "morrowErrDomain").
struct MorrowError {
    static constexpr const char* kDomain = "morrowErrDomain";
    // The code of a refusal that carries no code of its own.
    static constexpr int kReplyRefused = 10000;

    std::string domain;
    int code { 0 };
    std::string description;
    pf::Value userInfo;

    static MorrowError fromUrlError(const pf::UrlError& error);
    // An error of "morrowErrDomain"; its description names the domain and code.
    static MorrowError formError(int code, pf::Value userInfo);
};
