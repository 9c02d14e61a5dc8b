#include "sdk/lmconnect/openapi/MorrowError.h"

MorrowError MorrowError::fromUrlError(const pf::UrlError& error)
{
    return { error.domain, error.code, error.description, pf::Value() };
}

MorrowError MorrowError::formError(int code, pf::Value userInfo)
{
    std::string description = "The operation couldn’t be completed. (" + std::string(kDomain) + " error " + std::to_string(code) + ".)";
    return { kDomain, code, std::move(description), std::move(userInfo) };
}
