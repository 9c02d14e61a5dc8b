#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>

namespace pf {
class Image;
}

namespace blip {

// The picture of a message, as encoded bytes.
class BPImageObject {
public:
    static constexpr size_t kMaxImageBytes = 10485760;

    static std::shared_ptr<BPImageObject> object() { return std::make_shared<BPImageObject>(); }

    std::optional<pf::Bytes> imageData;

    // The decoded picture; none when unset or not a picture.
    std::shared_ptr<pf::Image> image() const;
    std::optional<std::string> validate() const;

    static pf::Dictionary dictionaryWithImageObject(const BPImageObject& object);
    static std::shared_ptr<BPImageObject> imageObjectWithDictionary(const pf::Dictionary& dictionary);
};

}
