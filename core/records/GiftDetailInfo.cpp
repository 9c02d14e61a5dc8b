#include "core/records/GiftDetailInfo.h"

#include "core/records/RecordFields.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/Image.h"
#include "sdk/libBlipSDK/BPImageObject.h"
#include "sdk/libBlipSDK/BPMessageObject.h"
#include "sdk/libParleySDK/PXMediaMessage.h"
#include "sdk/libParleySDK/PXWebpageObject.h"
#include "sdk/lmconnect/lmapi/LMApiNewsObject.h"

#include <algorithm>
#include <cmath>

using namespace RecordFields;

namespace {

// The picture made small enough that its JPEG (as Parley's client writes it) fits Parley's
// limit: at most kThumbSide pixels on its longest side, then smaller by a quarter each round.
std::shared_ptr<pf::Image> parleyThumbnail(const pf::Image& picture)
{
    int width = picture.pixelWidth();
    int height = picture.pixelHeight();
    if (width <= 0 || height <= 0)
        return nullptr;
    double factor = std::min(1.0, double(GiftDetailInfo::kThumbSide) / std::max(width, height));
    while (true) {
        int w = std::max(1, int(std::lround(width * factor)));
        int h = std::max(1, int(std::lround(height * factor)));
        auto thumb = (w == width && h == height) ? std::make_shared<pf::Image>(picture) : picture.scaled(w, h);
        if (!thumb)
            return nullptr;
        if (thumb->jpegData(0.6).size() <= GiftDetailInfo::kMaxThumbBytes)
            return thumb;
        if (w == 1 && h == 1)
            return nullptr;
        factor *= 0.75;
    }
}

}

std::shared_ptr<GiftDetailInfo> GiftDetailInfo::itemFromDictionary(const pf::Value& object)
{
    pf::Log::line(text(object, "tao_ext1").formatted());

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
        if (auto image = pf::Image::decode(*picture))
            message->setThumbImage(parleyThumbnail(*image));
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
    return LMApiNewsObject::objectWithURL(m_arcurl.text(), m_title.text(), shareText(), picture.value_or(pf::Bytes {}));
}
