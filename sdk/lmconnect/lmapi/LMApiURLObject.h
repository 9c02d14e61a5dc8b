#pragma once

#include "sdk/lmconnect/lmapi/LMApiObject.h"

#include "platform/foundation/Value.h"

#include <cstdint>
#include <memory>
#include <vector>

// A page to share: its address, a preview as bytes or, when there are none, as an address the
// share fetches first. Addresses are kept as their absolute text; empty bytes count as none.
//
// The factories make an object of the class they are called on, so a subclass's factory gives
// the subclass with its content type.
class LMApiURLObject : public LMApiObject {
public:
    static constexpr const char* kClassName = "LMApiURLObject";
    std::string_view className() const override { return kClassName; }
    enum ContentType : std::int32_t { Plain = 0, Audio = 1, Video = 2, News = 3 };

    static std::shared_ptr<LMApiURLObject> objectWithURL(std::string url) { return make<LMApiURLObject>(Plain, std::move(url)); }
    static std::shared_ptr<LMApiURLObject> objectWithURL(std::string url, std::string title, std::string description,
        pf::Bytes previewImageData, std::int32_t targetContentType)
    {
        auto object = make<LMApiURLObject>(targetContentType, std::move(url), std::move(title), std::move(description));
        object->previewImageData = std::move(previewImageData);
        return object;
    }
    static std::shared_ptr<LMApiURLObject> objectWithURL(std::string url, std::string title, std::string description,
        std::string previewImageURL, std::int32_t targetContentType)
    {
        auto object = make<LMApiURLObject>(targetContentType, std::move(url), std::move(title), std::move(description));
        object->previewImageURL = std::move(previewImageURL);
        return object;
    }

    std::string url;
    pf::Bytes previewImageData;
    std::string previewImageURL;
    std::int32_t targetContentType { Plain };
    std::vector<pf::Bytes> imageDataArray;
    std::vector<std::string> imageUrlArray;

protected:
    template <typename T>
    static std::shared_ptr<T> make(std::int32_t type, std::string url, std::string title = {}, std::string description = {})
    {
        auto object = std::make_shared<T>();
        object->url = std::move(url);
        object->title = std::move(title);
        object->description = std::move(description);
        object->targetContentType = type;
        return object;
    }
    template <typename T>
    static std::shared_ptr<T> withPreview(std::int32_t type, std::string url, std::string title, std::string description,
        pf::Bytes previewImageData, std::vector<pf::Bytes> imageDataArray = {})
    {
        auto object = make<T>(type, std::move(url), std::move(title), std::move(description));
        object->previewImageData = std::move(previewImageData);
        object->imageDataArray = std::move(imageDataArray);
        return object;
    }
    template <typename T>
    static std::shared_ptr<T> withPreviewURL(std::int32_t type, std::string url, std::string title, std::string description,
        std::string previewImageURL, std::vector<std::string> imageUrlArray = {})
    {
        auto object = make<T>(type, std::move(url), std::move(title), std::move(description));
        object->previewImageURL = std::move(previewImageURL);
        object->imageUrlArray = std::move(imageUrlArray);
        return object;
    }
};

// The audio, video and news kinds: the same four factories, each with its content type.
template <typename Self, std::int32_t kType>
class LMApiURLObjectKind : public LMApiURLObject {
public:
    static std::shared_ptr<Self> objectWithURL(std::string url, std::string title, std::string description, pf::Bytes previewImageData)
    {
        return withPreview<Self>(kType, std::move(url), std::move(title), std::move(description), std::move(previewImageData));
    }
    static std::shared_ptr<Self> objectWithURL(std::string url, std::string title, std::string description, std::string previewImageURL)
    {
        return withPreviewURL<Self>(kType, std::move(url), std::move(title), std::move(description), std::move(previewImageURL));
    }
    static std::shared_ptr<Self> objectWithURL(std::string url, std::string title, std::string description, pf::Bytes previewImageData,
        std::vector<pf::Bytes> imageDataArray)
    {
        return withPreview<Self>(kType, std::move(url), std::move(title), std::move(description), std::move(previewImageData),
            std::move(imageDataArray));
    }
    static std::shared_ptr<Self> objectWithURL(std::string url, std::string title, std::string description, std::string previewImageURL,
        std::vector<std::string> imageUrlArray)
    {
        return withPreviewURL<Self>(kType, std::move(url), std::move(title), std::move(description), std::move(previewImageURL),
            std::move(imageUrlArray));
    }
};
