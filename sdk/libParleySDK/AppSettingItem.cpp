#include "sdk/libParleySDK/AppSettingItem.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace parley {

void AppSettingItem::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    coder.encodeText("appID", appID);
    coder.encodeText("openID", openID);
    coder.encodeInteger("flag", std::int32_t(flag)); // written as a signed 32-bit number
    coder.encodeBool("appAddedByUser", appAddedByUser);
}

std::shared_ptr<AppSettingItem> AppSettingItem::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto item = std::make_shared<AppSettingItem>();
    item->appID = coder.decodeText("appID");
    item->openID = coder.decodeText("openID");
    item->flag = std::uint32_t(std::int32_t(coder.decodeInteger("flag")));
    item->appAddedByUser = coder.decodeBool("appAddedByUser");
    return item;
}

}
