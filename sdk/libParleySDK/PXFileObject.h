#pragma once

#include "sdk/libParleySDK/PXMediaObject.h"

namespace parley {

// A file: its bytes and extension.
class PXFileObject : public PXMediaObject {
public:
    static constexpr unsigned kObjectType = 6;
    static std::shared_ptr<PXFileObject> object() { return std::make_shared<PXFileObject>(); }
    unsigned objectType() const override { return kObjectType; }

    std::optional<std::string> fileExtension;
    std::optional<pf::Bytes> fileData;

    std::optional<std::string> listFileExt() const override { return fileExtension; }
    std::optional<pf::Bytes> listFileData() const override { return fileData; }
};

}
