#include "sdk/lmconnect/lmapi/LMApiCommonContentObject.h"

std::shared_ptr<LMApiCommonContentObject> LMApiCommonContentObject::objectWithLayoutType(std::uint32_t layoutType,
    std::vector<std::string> textArray, std::vector<pf::Bytes> pictureArray, pf::Bytes previewImageData)
{
    auto object = std::make_shared<LMApiCommonContentObject>();
    object->layoutType = layoutType;
    object->textArray = std::move(textArray);
    object->pictureDataArray = std::move(pictureArray);
    object->previewImageData = std::move(previewImageData);
    return object;
}

std::shared_ptr<LMApiCommonContentObject> LMApiCommonContentObject::objectWithDictionary(const pf::Value& dictionary)
{
    const pf::Array* texts = dictionary["textArray"].asArray();
    const pf::Array* pictures = dictionary["pictureArray"].asArray();
    if (!texts && !pictures)
        return nullptr;
    auto object = std::make_shared<LMApiCommonContentObject>();
    if (texts) {
        for (const auto& text : *texts) {
            if (auto s = text.asString())
                object->textArray.push_back(*s);
        }
    }
    if (pictures) {
        for (const auto& picture : *pictures) {
            if (auto d = picture.asData())
                object->pictureDataArray.push_back(*d);
        }
    }
    object->layoutType = static_cast<std::uint32_t>(dictionary["layoutType"].intValue());
    if (auto preview = dictionary["previewimageData"].asData())
        object->previewImageData = *preview;
    return object;
}

pf::Dictionary LMApiCommonContentObject::toDictionary() const
{
    pf::Dictionary out;
    if (!textArray.empty()) {
        pf::Array texts;
        for (const auto& text : textArray)
            texts.push_back(text);
        out.set("textArray", texts);
    }
    if (!pictureDataArray.empty()) {
        pf::Array pictures;
        for (const auto& picture : pictureDataArray)
            pictures.push_back(picture);
        out.set("pictureArray", pictures);
    }
    out.set("layoutType", static_cast<std::int64_t>(layoutType));
    if (!previewImageData.empty())
        out.set("previewimageData", previewImageData);
    return out;
}
