#include "platform/foundation/UrlError.h"

namespace pf {

const char* UrlError::describe(Code code)
{
    switch (code) {
    case Cancelled: return "cancelled";
    case BadUrl: return "bad URL";
    case TimedOut: return "The request timed out.";
    case UnsupportedUrl: return "unsupported URL";
    case CannotFindHost: return "A server with the specified hostname could not be found.";
    case CannotConnectToHost: return "Could not connect to the server.";
    case NetworkConnectionLost: return "The network connection was lost.";
    case TooManyRedirects: return "too many HTTP redirects";
    case NotConnectedToInternet: return "The Internet connection appears to be offline.";
    case BadServerResponse: return "The server returned a bad response.";
    case DataLengthExceedsMaximum: return "resource exceeds maximum size";
    case SecureConnectionFailed: return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case ServerCertificateUntrusted: return "The certificate for this server is invalid.";
    case Unknown: break;
    }
    return "An unknown error occurred.";
}

UrlError UrlError::make(Code code)
{
    UrlError error;
    error.code = code;
    error.description = describe(code);
    return error;
}

}
