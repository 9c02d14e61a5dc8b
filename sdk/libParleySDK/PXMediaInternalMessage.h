#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

namespace parley {

// A media message with its media object flattened into the fields that travel.
class PXMediaInternalMessage {
public:
    static std::shared_ptr<PXMediaInternalMessage> message() { return std::make_shared<PXMediaInternalMessage>(); }

    std::optional<std::string> title;
    std::optional<std::string> description;
    std::optional<pf::Bytes> thumbData;
    std::optional<std::string> mediaTagName;
    unsigned objectType { 0 };
    std::optional<std::string> extInfo;
    std::optional<std::string> fileExt;
    std::optional<pf::Bytes> fileData;
    std::optional<std::string> mediaUrl;
    std::optional<std::string> mediaLowBandUrl;
    std::optional<std::string> mediaDataUrl;
    std::optional<std::string> mediaLowBandDataUrl;
};

}
