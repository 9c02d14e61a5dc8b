#pragma once

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <memory>

class LMApiObject;

// The archived form of a content: "objectType" names the content's class, "ApiVersion" is 1,
// then the fields of that kind. Reading makes only the known kinds; a pay, WPA or common
// content (and any other kind) travels as a plain LMApiObject with title and description.
// Preview addresses, picture lists, flash addresses, `extendInfo` and `cflag` are not carried.
class LMApiObjectCoderImpl {
public:
    static constexpr const char* kArchiveClassName = "LMApiObjectCoderImpl";
    static constexpr std::int64_t kApiVersion = 1;

    std::shared_ptr<LMApiObject> obj;

    void encodeWithCoder(pf::KeyedArchiver& coder) const;
    // An unknown "objectType" gives a wrapper without content.
    static std::shared_ptr<LMApiObjectCoderImpl> initWithCoder(pf::KeyedUnarchiver& coder);
};
