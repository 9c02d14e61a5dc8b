#pragma once

#include "platform/foundation/Value.h"

#include <cstdint>
#include <optional>
#include <string>

// One server configuration: type 1 (engine settings) or 2 (application properties), its
// content as JSON text of a dictionary, the server's digest (kept, never compared) and version.
struct MRA4LCDataConfig {
    std::uint32_t type { 0 };
    std::string content;
    std::string md5;
    std::uint32_t version { 0 };

    // From the server form {"c": content, "v": version, "m": digest}. The content may come as
    // an object or as its JSON text; either is kept as text. None when a field is missing or of
    // the wrong type.
    static std::optional<MRA4LCDataConfig> decode(const pf::Value& server);
};
