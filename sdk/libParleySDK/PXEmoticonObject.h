#pragma once

#include "sdk/libParleySDK/PXMediaObject.h"

namespace parley {

// An emoticon picture.
class PXEmoticonObject : public PXMediaObject {
public:
    static constexpr unsigned kObjectType = 8;
    static std::shared_ptr<PXEmoticonObject> object() { return std::make_shared<PXEmoticonObject>(); }
    unsigned objectType() const override { return kObjectType; }

    std::optional<pf::Bytes> emoticonData;

    std::optional<pf::Bytes> listFileData() const override { return emoticonData; }
};

}
