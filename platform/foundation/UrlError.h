#pragma once

#include <string>

namespace pf {

// Why a URL load failed. Only transport failures are errors; HTTP statuses are responses.
struct UrlError {
    static constexpr const char* kDomain = "URLErrorDomain";
    enum Code {
        Unknown = -1,
        Cancelled = -999,
        BadUrl = -1000,
        TimedOut = -1001,
        UnsupportedUrl = -1002,
        CannotFindHost = -1003,
        CannotConnectToHost = -1004,
        NetworkConnectionLost = -1005,
        TooManyRedirects = -1007,
        NotConnectedToInternet = -1009,
        BadServerResponse = -1011,
        DataLengthExceedsMaximum = -1103,
        SecureConnectionFailed = -1200,
        ServerCertificateUntrusted = -1202,
    };

    std::string domain { kDomain };
    int code { Unknown };
    std::string description;

    static UrlError make(Code code);
    static const char* describe(Code code);
};

}
