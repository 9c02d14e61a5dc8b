#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

namespace parley {

// What a media message carries: one of the seven kinds below, told apart by the object type
// code that travels under "objectType". The fields that a kind does not have stay empty.
class PXMediaObject {
public:
    virtual ~PXMediaObject() = default;
    virtual unsigned objectType() const = 0;

    // The fields as they travel in the property list: "mediaUrl", "mediaLowBandUrl", "mediaDataUrl",
    // "mediaLowBandDataUrl", "extInfo", "fileExt" and the file data.
    virtual std::optional<std::string> listMediaUrl() const { return std::nullopt; }
    virtual std::optional<std::string> listMediaLowBandUrl() const { return std::nullopt; }
    virtual std::optional<std::string> listMediaDataUrl() const { return std::nullopt; }
    virtual std::optional<std::string> listMediaLowBandDataUrl() const { return std::nullopt; }
    virtual std::optional<std::string> listExtInfo() const { return std::nullopt; }
    virtual std::optional<std::string> listFileExt() const { return std::nullopt; }
    virtual std::optional<pf::Bytes> listFileData() const { return std::nullopt; }
};

}
