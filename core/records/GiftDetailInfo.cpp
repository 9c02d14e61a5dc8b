#include "core/records/GiftDetailInfo.h"

#include "core/records/RecordFields.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/Image.h"
#include "sdk/libBlipSDK/BPImageObject.h"
#include "sdk/libBlipSDK/BPMessageObject.h"
#include "sdk/libParleySDK/PXMediaMessage.h"
#include "sdk/libParleySDK/PXWebpageObject.h"
#include "sdk/lmconnect/lmapi/LMApi.h"
#include "sdk/lmconnect/lmapi/LMApiNewsObject.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

using namespace RecordFields;

namespace {

// Both Parley's client and the LM preview carry pictures as JPEG of this quality.
constexpr double kJpegQuality = 0.6;

struct FittedPicture {
    std::shared_ptr<pf::Image> image;
    pf::Bytes jpeg;
};

// The picture made small enough that its JPEG fits `maxBytes`: at most `maxSide` pixels on its
// longest side (its own size without one), then smaller by a quarter each round. None when not
// even a single pixel fits.
std::optional<FittedPicture> fittedPicture(const pf::Image& picture, std::optional<int> maxSide, size_t maxBytes)
{
    int width = picture.pixelWidth();
    int height = picture.pixelHeight();
    if (width <= 0 || height <= 0)
        return std::nullopt;
    double factor = maxSide ? std::min(1.0, double(*maxSide) / std::max(width, height)) : 1.0;
    while (true) {
        int w = std::max(1, int(std::lround(width * factor)));
        int h = std::max(1, int(std::lround(height * factor)));
        auto image = (w == width && h == height) ? std::make_shared<pf::Image>(picture) : picture.scaled(w, h);
        if (!image)
            return std::nullopt;
        auto jpeg = image->jpegData(kJpegQuality);
        if (jpeg.size() <= maxBytes)
            return FittedPicture { std::move(image), std::move(jpeg) };
        if (w == 1 && h == 1)
            return std::nullopt;
        factor *= 0.75;
    }
}

// LM refuses a share whose preview is above its limit: a larger picture goes as a JPEG made
// small enough, and bytes that are no picture go as no preview rather than stop the share.
pf::Bytes lmPreview(const std::optional<pf::Bytes>& picture)
{
    if (!picture || picture->size() <= LMApi::kPreviewLimit)
        return picture.value_or(pf::Bytes {});
    auto image = pf::Image::decode(*picture);
    auto fitted = image ? fittedPicture(*image, std::nullopt, LMApi::kPreviewLimit) : std::nullopt;
    return fitted ? std::move(fitted->jpeg) : pf::Bytes {};
}

}

std::shared_ptr<GiftDetailInfo> GiftDetailInfo::itemFromDictionary(const pf::Value& object)
{
    pf::Log::line(text(object, "tao_ext1").formatted());
    return fromFields(object);
}

std::shared_ptr<GiftDetailInfo> GiftDetailInfo::fromFields(const pf::Value& object)
{
    auto r = std::make_shared<GiftDetailInfo>();
    r->m_title = text(object, "title");
    r->m_arcurl = text(object, "arcurl");
    r->m_desc = text(object, "desc");
    r->m_info = text(object, "info");
    r->m_startTime = longInteger(object, "startime");
    r->m_endTime = longInteger(object, "endtime");
    r->m_fid = integer(object, "fid");
    r->m_draw = integer(object, "draw");
    r->m_doom = integer(object, "doom");
    r->m_status = integer(object, "status");
    r->m_type = text(object, "type");
    r->m_extcredits1 = integer(object, "extcredits1");
    r->m_extcredits2 = integer(object, "extcredits2");
    r->m_ext1 = integer(object, "ext1");
    r->m_ext2 = integer(object, "ext2");
    r->m_taoExt1 = integer(object, "tao_ext1");
    r->m_total = integer(object, "total");
    r->m_send = integer(object, "send");
    r->m_litpic = text(object, "litpic");
    r->m_abouts = RelatedGiftInfo::listFromDictionary(object);
    return r;
}

std::optional<GiftDetailInfo::List> GiftDetailInfo::listFromDictionary(const pf::Value& reply)
{
    return list<GiftDetailInfo>(reply["body"]);
}

void GiftDetailInfo::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    // The fields under the reply's keys, numbers as number objects.
    const std::pair<const char*, pf::Value> fields[] = {
        { "title", m_title.toValue() },
        { "arcurl", m_arcurl.toValue() },
        { "desc", m_desc.toValue() },
        { "info", m_info.toValue() },
        { "startime", pf::Value(m_startTime) },
        { "endtime", pf::Value(m_endTime) },
        { "fid", pf::Value(m_fid) },
        { "draw", pf::Value(m_draw) },
        { "doom", pf::Value(m_doom) },
        { "status", pf::Value(m_status) },
        { "type", m_type.toValue() },
        { "extcredits1", pf::Value(m_extcredits1) },
        { "extcredits2", pf::Value(m_extcredits2) },
        { "ext1", pf::Value(m_ext1) },
        { "ext2", pf::Value(m_ext2) },
        { "tao_ext1", pf::Value(m_taoExt1) },
        { "total", pf::Value(m_total) },
        { "send", pf::Value(m_send) },
        { "litpic", m_litpic.toValue() },
    };
    for (const auto& [key, value] : fields)
        coder.encodeValue(key, value);
    if (m_abouts)
        coder.encodeObjects("abouts", *m_abouts);
    else
        coder.encodeValue("abouts", pf::Value::missing());
}

std::shared_ptr<GiftDetailInfo> GiftDetailInfo::initWithCoder(pf::KeyedUnarchiver& coder)
{
    // "abouts" refers to a list object, which the gathering leaves out; it is read on its own,
    // and like a reply's list it keeps its records and skips the items that are plain values.
    auto r = fromFields(archivedFields(coder, kArchiveKeys));
    if (coder.classNameOfObject("abouts") == pf::KeyedArchiveFormat::kArrayClassName)
        r->m_abouts = coder.decodeObjects<RelatedGiftInfo>("abouts", pf::KeyedUnarchiver::PlainItems::Skip);
    return r;
}

std::string GiftDetailInfo::shareText() const
{
    std::string text = kShareTextFormat;
    text.replace(text.find("%@"), 2, m_title.text());
    text.replace(text.rfind("%@"), 2, m_arcurl.text());
    return text;
}

std::shared_ptr<parley::PXMediaMessage> GiftDetailInfo::pxMediaMessageFromInfo(const std::optional<pf::Bytes>& picture) const
{
    auto page = parley::PXWebpageObject::object();
    auto message = parley::PXMediaMessage::message();
    page->webpageUrl = m_arcurl.text();
    if (picture && !picture->empty()) {
        auto image = pf::Image::decode(*picture);
        if (auto thumb = image ? fittedPicture(*image, GiftDetailInfo::kThumbSide, GiftDetailInfo::kMaxThumbBytes) : std::nullopt)
            message->setThumbImage(thumb->image);
    }
    message->mediaObject = page;
    message->title = m_title.text();
    message->description = shareText();
    return message;
}

std::shared_ptr<blip::BPMessageObject> GiftDetailInfo::bpMessageFromInfo(const std::optional<pf::Bytes>& picture) const
{
    auto message = blip::BPMessageObject::message();
    message->text = shareText();
    if (picture && !picture->empty()) {
        auto image = blip::BPImageObject::object();
        image->imageData = *picture;
        message->imageObject = image;
    }
    return message;
}

std::shared_ptr<LMApiNewsObject> GiftDetailInfo::lmApiNewsFromInfo(const std::optional<pf::Bytes>& picture) const
{
    return LMApiNewsObject::objectWithURL(m_arcurl.text(), m_title.text(), shareText(), lmPreview(picture));
}
