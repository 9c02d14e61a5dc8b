#pragma once

#include "sdk/lmconnect/lmapi/LMApiObject.h"

#include "platform/foundation/Value.h"

#include <memory>
#include <vector>

// A file (or, as `LMApiImageObject`, a picture) with its preview and further pictures. Empty
// bytes count as none.
class LMApiExtendObject : public LMApiObject {
public:
    static constexpr const char* kClassName = "LMApiExtendObject";
    std::string_view className() const override { return kClassName; }

    // The picture list stays empty.
    template <typename T = LMApiExtendObject>
    static std::shared_ptr<T> objectWithData(pf::Bytes data, pf::Bytes previewImageData, std::string title, std::string description)
    {
        auto object = std::make_shared<T>();
        object->data = std::move(data);
        object->previewImageData = std::move(previewImageData);
        object->title = std::move(title);
        object->description = std::move(description);
        return object;
    }
    // The preview given here is kept too: dropping bytes a caller handed over helps nobody.
    template <typename T = LMApiExtendObject>
    static std::shared_ptr<T> objectWithData(pf::Bytes data, pf::Bytes previewImageData, std::string title, std::string description,
        std::vector<pf::Bytes> imageDataArray)
    {
        auto object = objectWithData<T>(std::move(data), std::move(previewImageData), std::move(title), std::move(description));
        object->imageDataArray = std::move(imageDataArray);
        return object;
    }

    pf::Bytes data;
    pf::Bytes previewImageData;
    std::vector<pf::Bytes> imageDataArray;
};
