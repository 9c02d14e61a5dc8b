#pragma once

#include "platform/foundation/Value.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pf {
class Url;
}
class LMApiMessage;

// The return from the vendor's share page in a browser: an address of ours ("morrow<app id>")
// that names the authorisation host and carries, after "?#", "action", "result" and the JSON
// "response". It becomes LM's answer to a share (a message of type 6).
class LMWebViewKit {
public:
    static constexpr const char* kAuthorizationHost = "openmobile.lmconnect.invalid";

    static bool canHanleOpenUrlFromSafari(const pf::Url& url);
    static std::shared_ptr<LMApiMessage> messageWithSafariUrl(const pf::Url& url);
    // The pieces after the first `separator`, "key=value" with both parts percent-decoded; empty
    // when the separator does not occur. Pieces with another count of "=" or an empty key are
    // skipped.
    static std::map<std::string, std::string> dictionaryByParseUrlFromSeparator(std::string_view text, std::string_view separator);
    static std::optional<pf::Value> JSONValue(std::string_view text);
};
