#pragma once

#include "sdk/lmconnect/lmapi/LMApiObject.h"

#include "platform/foundation/Value.h"

#include <cstdint>
#include <memory>
#include <vector>

// A laid-out content of texts and pictures. Its dictionary form is what the share stages as
// file data: "textArray", "pictureArray", "layoutType" and "previewimageData" (spelt so), empty
// values left out.
class LMApiCommonContentObject : public LMApiObject {
public:
    static constexpr const char* kClassName = "LMApiCommonContentObject";
    std::string_view className() const override { return kClassName; }

    static std::shared_ptr<LMApiCommonContentObject> objectWithLayoutType(std::uint32_t layoutType, std::vector<std::string> textArray,
        std::vector<pf::Bytes> pictureArray, pf::Bytes previewImageData);
    // None when the dictionary has neither list.
    static std::shared_ptr<LMApiCommonContentObject> objectWithDictionary(const pf::Value& dictionary);
    pf::Dictionary toDictionary() const;

    std::uint32_t layoutType { 0 };
    pf::Bytes previewImageData;
    std::vector<std::string> textArray;
    std::vector<pf::Bytes> pictureDataArray;
};
