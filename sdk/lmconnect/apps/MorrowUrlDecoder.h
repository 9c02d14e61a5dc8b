#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace pf {
class Url;
}

// A Morrow API address split up: scheme, host, the path without its leading "/", and the query
// (split at "&" and each part at its first "="; escapes left as they are; parts without "="
// skipped; a later name wins).
class MorrowUrlDecoder {
public:
    static std::shared_ptr<MorrowUrlDecoder> decoderWithUrl(const pf::Url& url);

    std::string scheme;
    std::string host;
    std::optional<std::string> path;
    std::map<std::string, std::string> queryItem;
};
