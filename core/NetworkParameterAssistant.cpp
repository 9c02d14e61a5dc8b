#include "core/NetworkParameterAssistant.h"

#include "core/AppInfoConfiguration.h"
#include "core/UserTokenStore.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Crypto.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/RunLoop.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

constexpr std::array<const char*, 17> kPaths { "user/info", "user/credentials", "user/reg", "user/weblm",
    "user/logout", "zz", "ka/list", "ka/info", "ka/receive", "ka/mine", "ka/check", "ka/search", "arc/tui",
    "game/verup", "arc/lun", "ka/capth", "user/refer" };

std::string systemVersion()
{
    return pf::Device::current().systemVersion();
}

std::string userToken()
{
    return UserTokenStore::token().value_or(std::string());
}

std::string decimal(int n)
{
    return std::to_string(n);
}

// The common steps of every builder: "ware", "openid", the operation's own keys, "actime" and
// "actoken", all from one reading of the clock. Own keys with no value are left out.
RequestParameters signedParameters(std::string_view signedText,
    std::initializer_list<std::pair<const char*, std::optional<std::string>>> own, bool withWare = true)
{
    RequestParameters parameters;
    const std::string& openID = AppInfoConfiguration::sharedInstance()->openID();
    double actime = NetworkParameterAssistant::fetchActime();
    if (withWare)
        parameters["ware"] = systemVersion();
    if (!openID.empty())
        parameters["openid"] = openID;
    for (auto& [key, value] : own) {
        if (value)
            parameters[key] = *value;
    }
    parameters["actime"] = NetworkParameterAssistant::actimeText(actime);
    parameters["actoken"] = NetworkParameterAssistant::fetchActoken(signedText, actime);
    return parameters;
}

std::optional<std::string> nonEmpty(const std::string& text)
{
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

}

std::optional<std::string_view> NetworkParameterAssistant::pathForOperation(int code)
{
    if (code < UserInfo || code > UserRefer)
        return std::nullopt;
    return kPaths[static_cast<size_t>(code - UserInfo)];
}

std::optional<std::string> NetworkParameterAssistant::getRequestAddress(int code)
{
    auto path = pathForOperation(code);
    const std::string& base = AppInfoConfiguration::sharedInstance()->apiBaseURL();
    if (!path || base.empty())
        return std::nullopt;
    return base + std::string(*path);
}

double NetworkParameterAssistant::fetchActime()
{
    return std::trunc(pf::RunLoop::main().now());
}

std::string NetworkParameterAssistant::actimeText(double actime)
{
    char text[64];
    std::snprintf(text, sizeof text, "%lf", actime);
    return text;
}

std::string NetworkParameterAssistant::fetchActoken(std::string_view signedText, double actime)
{
    std::string message = AppInfoConfiguration::sharedInstance()->appKey();
    message += signedText;
    message += actimeText(actime);
    // The portal digests the text as a C string: nothing after a first NUL counts.
    return pf::Crypto::md5Hex(std::string_view(message).substr(0, message.find('\0')));
}

RequestParameters NetworkParameterAssistant::parametersForUserInfoWithAvaType(const std::string& avaType)
{
    return signedParameters(userToken(), { { "avaType", avaType } });
}

RequestParameters NetworkParameterAssistant::parametersForUserLogin(const std::string& userName,
    const std::string& password, const std::string& grantType)
{
    return signedParameters(userName,
        { { "username", userName }, { "password", password }, { "grant_type", grantType } });
}

RequestParameters NetworkParameterAssistant::parametersForUserRegister(const std::string& userName,
    const std::string& nickName, const std::string& pwd, const std::string& pwd2)
{
    return signedParameters(userName + nickName,
        { { "username", userName }, { "nickname", nickName }, { "pwd", pwd }, { "pwd2", pwd2 } });
}

RequestParameters NetworkParameterAssistant::parametersForLoginWithLM(const std::string& webauth,
    const std::string& saltKey)
{
    return signedParameters(webauth + saltKey, { { "webauth", webauth }, { "saltkey", saltKey } });
}

RequestParameters NetworkParameterAssistant::parametersForUserLogout()
{
    return signedParameters(userToken(), {});
}

RequestParameters NetworkParameterAssistant::parametersForGiftList(int type, int count, int page)
{
    return signedParameters(decimal(type),
        { { "type", decimal(type) }, { "count", decimal(count) }, { "page", decimal(page) } });
}

RequestParameters NetworkParameterAssistant::parametersForGiftDetail(int fid)
{
    return signedParameters(decimal(fid), { { "fid", decimal(fid) } });
}

RequestParameters NetworkParameterAssistant::parametersForGiftObtain(int fid, const std::string& verifystr,
    const std::string& verifyCode)
{
    return signedParameters(decimal(fid) + userToken(),
        { { "fid", decimal(fid) }, { "verifystr", nonEmpty(verifystr) }, { "verifyCode", nonEmpty(verifyCode) } });
}

RequestParameters NetworkParameterAssistant::parametersForMyGiftsWithCount(int count, int page)
{
    return signedParameters(userToken(), { { "count", decimal(count) }, { "page", decimal(page) } });
}

RequestParameters NetworkParameterAssistant::parametersForGiftStatus(int fid)
{
    return signedParameters(decimal(fid), { { "fid", decimal(fid) } });
}

RequestParameters NetworkParameterAssistant::parametersForGiftSearching(const std::string& word, int count, int page)
{
    return signedParameters(word, { { "wd", word }, { "count", decimal(count) }, { "page", decimal(page) } });
}

RequestParameters NetworkParameterAssistant::parametersForSearchingRecommendation(int type)
{
    return signedParameters(decimal(type), { { "type", decimal(type) } });
}

RequestParameters NetworkParameterAssistant::parametersForBoxUpdating()
{
    std::string pageName;
    std::string version;
    if (auto bundle = pf::Bundle::main()) {
        pageName = bundle->bundleIdentifier();
        version = bundle->shortVersion();
    }
    return signedParameters(pageName + version, { { "pagename", nonEmpty(pageName) }, { "version", nonEmpty(version) } });
}

RequestParameters NetworkParameterAssistant::parametersForShufflingImages(const std::string& typeId)
{
    return signedParameters(typeId, { { "typeid", typeId } });
}

RequestParameters NetworkParameterAssistant::parametersForVerifyCode()
{
    return signedParameters(userToken(), {});
}

RequestParameters NetworkParameterAssistant::parametersForWAPForumLogin()
{
    std::string refurl = AppInfoConfiguration::sharedInstance()->forumBaseURL() + kForumBoardPage;
    return signedParameters(userToken(), { { "refurl", refurl } });
}

RequestParameters NetworkParameterAssistant::parametersForUserReflashUserToken()
{
    return signedParameters(userToken(), {});
}

RequestParameters NetworkParameterAssistant::parametersForVerificationCodeImage()
{
    return signedParameters(userToken(), {}, false);
}
