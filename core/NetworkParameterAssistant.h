#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

// The form parameters of one portal request: key -> value, every value text.
using RequestParameters = std::map<std::string, std::string>;

// The table of portal operations and the builder of each operation's signed parameters.
//
// Every builder returns a fresh map: the operation's own keys plus the common keys "ware"
// (the system version), "openid" (left out while the configured open id is empty), "actime"
// (the request time) and "actoken" (the signature).
//
// Rules:
// - The request time is the run loop's clock in whole seconds (truncated toward zero, 64-bit),
//   written as "%lf": "1700000000.000000". A builder reads the clock once, so "actime" and
//   the signature always agree.
// - The signature is the lower-case hex MD5 of the signing key, the operation's signed text and
//   the "actime" text, concatenated; the digest covers the text up to a first NUL character.
// - Builders whose signed text holds the user token sign the empty text when no token is
//   stored (callers check the login first; the feedback page may not).
// - Numbers are written in decimal ("%d").
class NetworkParameterAssistant {
public:
    // Operation codes.
    enum Operation : int {
        UserInfo = 11,
        UserCredentials = 12,
        UserRegister = 13,
        UserWebLM = 14,
        UserLogout = 15,
        Zz = 16,
        GiftList = 17,
        GiftDetail = 18,
        GiftReceive = 19,
        MyGifts = 20,
        GiftCheck = 21,
        GiftSearch = 22,
        SearchRecommendation = 23,
        VersionUpdate = 24,
        ShufflingImages = 25,
        VerifyCode = 26,
        UserRefer = 27,
    };

    // The configured API base address followed by the operation's path; none for a code
    // outside 11...27 or while no base address is configured.
    static std::optional<std::string> getRequestAddress(int code);
    // The operation's path alone ("ka/list"); none outside 11...27.
    static std::optional<std::string_view> pathForOperation(int code);

    static double fetchActime();
    static std::string fetchActoken(std::string_view signedText, double actime);
    // "%lf" of a request time.
    static std::string actimeText(double actime);

    static RequestParameters parametersForUserInfoWithAvaType(const std::string& avaType);
    static RequestParameters parametersForUserLogin(const std::string& userName, const std::string& password,
        const std::string& grantType);
    static RequestParameters parametersForUserRegister(const std::string& userName, const std::string& nickName,
        const std::string& pwd, const std::string& pwd2);
    static RequestParameters parametersForLoginWithLM(const std::string& webauth, const std::string& saltKey);
    static RequestParameters parametersForUserLogout();
    static RequestParameters parametersForGiftList(int type, int count, int page);
    static RequestParameters parametersForGiftDetail(int fid);
    // "verifystr" and "verifyCode" are sent only when not empty (a pick-up of a released code
    // sends neither).
    static RequestParameters parametersForGiftObtain(int fid, const std::string& verifystr,
        const std::string& verifyCode);
    static RequestParameters parametersForMyGiftsWithCount(int count, int page);
    static RequestParameters parametersForGiftStatus(int fid);
    static RequestParameters parametersForGiftSearching(const std::string& word, int count, int page);
    static RequestParameters parametersForSearchingRecommendation(int type);
    // "pagename" and "version" come from the main bundle's identifier and short version.
    static RequestParameters parametersForBoxUpdating();
    static RequestParameters parametersForShufflingImages(const std::string& typeId);
    static RequestParameters parametersForVerifyCode();
    // "refurl" is the forum's board page under the configured forum base address.
    static RequestParameters parametersForWAPForumLogin();
    static RequestParameters parametersForUserReflashUserToken();
    // Without "ware".
    static RequestParameters parametersForVerificationCodeImage();

    static constexpr const char* kForumBoardPage = "forum-2508-1.html";
};
