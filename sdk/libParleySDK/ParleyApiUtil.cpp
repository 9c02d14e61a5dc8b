#include "sdk/libParleySDK/ParleyApiUtil.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Url.h"

namespace parley {

bool ParleyApiUtil::isSystem7plus()
{
    return pf::Device::current().systemVersionFloat() > 6.9;
}

bool ParleyApiUtil::is2xScreen()
{
    return pf::Device::current().screenScale() == 2.0;
}

std::optional<pf::Value> ParleyApiUtil::propertyListFromData(const std::optional<pf::Bytes>& data, pf::LoneSurrogates lone)
{
    if (!data || data->empty() || data->size() > kMaxPasteboardBytes)
        return std::nullopt;
    return pf::PropertyList::parse(*data, nullptr, nullptr, lone);
}

std::optional<pf::Value> ParleyApiUtil::propertyListEntriesFromData(const std::optional<pf::Bytes>& data, size_t* leftOut)
{
    if (leftOut)
        *leftOut = 0;
    if (!data || data->empty() || data->size() > kMaxPasteboardBytes)
        return std::nullopt;
    return pf::PropertyList::parseEntries(*data, 1, leftOut);
}

std::optional<pf::Bytes> ParleyApiUtil::dataFromPropertyList(const pf::Value& list)
{
    return pf::PropertyList::write(list, pf::PropertyList::Format::Binary);
}

std::string ParleyApiUtil::getParleyUrl(const std::string& appID)
{
    return "parleyim://app/" + appID + "/";
}

std::string ParleyApiUtil::getParleyUrl(const std::string& appID, const std::string& extra)
{
    return getParleyUrl(appID) + extra;
}

std::string ParleyApiUtil::getAppUrl(const std::string& appID)
{
    return appID + "://";
}

std::string ParleyApiUtil::getAppUrlWithPlatformId(const std::string& appID)
{
    return appID + "://platformId=parley";
}

bool ParleyApiUtil::isAppOpenUrl(const std::string& url, const std::string& appID)
{
    return url.starts_with(getAppUrl(appID));
}

bool ParleyApiUtil::isAppInstalled(const std::string& appID)
{
    return canOpenURL(getAppUrl(appID));
}

bool ParleyApiUtil::launchApp(const std::string& appID)
{
    return openURL(getAppUrl(appID));
}

bool ParleyApiUtil::isPXAppSupportApi()
{
    return canOpenURL("parley://");
}

std::string ParleyApiUtil::getSDKVersion()
{
    if (auto board = pf::Pasteboard::withName("parley_sdk_infomation", false)) {
        auto list = propertyListFromData(board->dataForType("content"), pf::LoneSurrogates::Replace);
        if (list && list->isDictionary()) {
            if (const std::string* version = (*list)["version"].asString())
                return *version;
        }
    }
    return isPXAppSupportApi() ? "1.0" : "";
}

bool ParleyApiUtil::openURL(const std::string& url)
{
    return pf::Application::shared().openURL(std::string_view(url));
}

bool ParleyApiUtil::canOpenURL(const std::string& url)
{
    return pf::Application::shared().canOpenURL(std::string_view(url));
}

std::string ParleyApiUtil::gtm_stringByEscapingForURLArgumentOnly(std::string_view text)
{
    return pf::Url::escape(text, {}, ";/?:@=&$-_.+!*'(),%");
}

std::optional<std::string> ParleyApiUtil::gtm_stringByEncodeByJsonAndUrlEncode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'X' || text[i + 1] == 'x')) {
            out += '%';
            ++i;
        } else {
            out += text[i];
        }
    }
    return pf::Url::unescape(out);
}

}
