#pragma once

#include "sdk/libParleySDK/PXMediaObject.h"

namespace parley {

// Content only the sending app understands: an address, free text and bytes.
class PXAppExtendObject : public PXMediaObject {
public:
    static constexpr unsigned kObjectType = 7;
    static std::shared_ptr<PXAppExtendObject> object() { return std::make_shared<PXAppExtendObject>(); }
    unsigned objectType() const override { return kObjectType; }

    std::optional<std::string> url;
    std::optional<std::string> extInfo;
    std::optional<pf::Bytes> fileData;

    std::optional<std::string> listMediaUrl() const override { return url; }
    std::optional<std::string> listExtInfo() const override { return extInfo; }
    std::optional<pf::Bytes> listFileData() const override { return fileData; }
};

}
