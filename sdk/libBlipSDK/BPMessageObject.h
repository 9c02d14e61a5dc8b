#pragma once

#include "sdk/libBlipSDK/BPBaseMediaObject.h"
#include "sdk/libBlipSDK/BPImageObject.h"

#include <memory>
#include <optional>
#include <string>

namespace blip {

// The content of a share: a text, a picture, or a media object (never both of the last two).
class BPMessageObject {
public:
    static constexpr size_t kMaxTextWords = 140;

    static std::shared_ptr<BPMessageObject> message() { return std::make_shared<BPMessageObject>(); }

    std::optional<std::string> text;
    std::shared_ptr<BPImageObject> imageObject;
    std::shared_ptr<BPBaseMediaObject> mediaObject;

    std::optional<std::string> validate() const;

    // "text", "imageObject", "mediaObject" (each when set) and "__class".
    static pf::Dictionary dictionaryWithMessage(const BPMessageObject& message);
    // None without "__class" naming a message, or without any content.
    static std::shared_ptr<BPMessageObject> messageWithDictionary(const pf::Dictionary& dictionary);
};

}
