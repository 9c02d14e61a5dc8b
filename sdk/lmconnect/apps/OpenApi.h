#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {
class Url;
}
class MorrowJSObject;
class MorrowOAuth;
class MorrowSessionDelegate;

// The sign-in hand-off with the LM and LZone apps: probes which of their versions are installed,
// writes a sign-in request onto a pasteboard, opens the app with a launch address naming where
// the request lies, and reads the reply when the app opens "morrow<app id>://lzapp/<x>/<command>".
//
// Rules:
// - Morrow API addresses go to that channel first, with the session's delegate.
// - Process-wide state, main thread only: the reply scheme, the last place a request was
//   written (only the latest request can be answered), the session and its delegate (neither
//   owned) and the receiver of the login result.
// - Pasteboard data of other apps is read as plain values only; "response_data" decodes only
//   as an Open API result. Anything else is no reply.
// - A reply naming an API call reaches the delegate only through its closed table of names,
//   else `responseDidReceived`.
// - A negative "expires_in" is a failed sign-in; a reply without token, open id or expiry is
//   reported as not logged in.
// - A reply the scripts hand back while one is being processed is refused, so a script cannot
//   make the hand-off recurse.
class OpenApi {
public:
    static constexpr const char* kNamedType = "lzappDataType";
    static constexpr const char* kGeneralTypePrefix = "com.morrow.";
    static constexpr const char* kReplyHost = "lzapp";
    static constexpr const char* kLMScheme = "mlmOpensdkSSoLogin";
    static constexpr const char* kLMHost = "SSoLogin";
    static constexpr const char* kLZoneScheme = "mlzoneopensdkapi";
    static constexpr const char* kLZoneHost = "lzapp";
    static constexpr double kDefaultLifetime = 2592000; // 30 days
    static constexpr double kDistantFuture = 64092211200.0;

    static bool registerApp(const std::string& appId);
    static bool registerAppWithDelegateAndOldApi(const std::string& appId, std::weak_ptr<MorrowSessionDelegate> delegate,
        std::weak_ptr<MorrowOAuth> session);
    static void clearParam();
    // `clearParam` when the registered session is gone (a newer session's registration stays).
    static void clearParamIfSessionGone();
    static void setLoginDelegate(std::weak_ptr<MorrowSessionDelegate> delegate);
    static const std::string& appSchema();
    static const std::string& pasteboardName();

    // Routes an opened address: an app reply to `processMessage`, anything else to the session's
    // scripts; NO without a session.
    static bool handleOpenURL(const pf::Url& url);
    static bool canHandleOpenURL(const pf::Url& url);
    static bool processMessage(const pf::Url& url);
    static bool processMessageCallByOAuth(const pf::Url& url, const std::shared_ptr<MorrowOAuth>& handler);

    static int lmVersion();
    static int lzoneVersion();
    static bool isLZoneInstalled();
    static bool isSupportGeneralPastboard();
    static bool isLZoneSupportGeneralPastboard();
    static bool authorizeWithPermission() { return false; }

    // Query of the text after the first `separator`: parts "name=value" with a name, both
    // unescaped; other parts are left out.
    // The expiry of a reply's "expires_in": none means 30 days, 0 the distant future, a positive
    // whole number that many seconds from now; none (a refused sign-in) for anything else.
    static std::optional<double> expiryForLifetime(const pf::Value* expiresIn);
    static pf::Dictionary dictionaryByParseUrlFromSeparator(const std::string& text, const std::string& separator);

    // Pasteboards. The save calls answer the name or type written (and remember it).
    static std::optional<std::string> saveDictionaryToPasteBoard(const pf::Dictionary& dict, const std::string& name = {});
    static std::optional<std::string> saveDictionaryByGeneralPastboardWithSchema(const pf::Dictionary& dict, const std::string& schema);
    static std::optional<pf::Dictionary> getDictionaryFromPasteBoard(const std::string& name);
    static std::optional<pf::Dictionary> getDictionaryFromGeneralPasteBoard(const std::string& type);

    // Native launchers; the request dictionary is written where the app version reads it.
    static bool openLMWithCommand(unsigned command, const pf::Dictionary& data);
    static bool openLZoneWithCommandStr(const std::string& command, const pf::Dictionary& data);
    static bool niceAuthorizeWithPermission(const pf::Value& permissions, std::weak_ptr<MorrowSessionDelegate> delegate,
        int firstCall, const std::string& appId);

    // Whether the device can open the address.
    static bool canParseURL(const pf::Url& url);
    static bool canParseApplicationUrlStr(const std::string& text);
    // Archives onto the general pasteboard under "com.morrow." and the reply scheme.
    static std::optional<std::string> saveDictionaryByGeneralPastboard(const pf::Dictionary& dict);
    static bool openLZoneWithCommand(unsigned command, const pf::Dictionary& data);
    // Opens LZone's plain entry "mlzoneopensdk://lzapp/<reply scheme>/"; false when LZone is missing.
    static bool openLZone();
    static bool sendCommandToLZoneParams(const std::string& command, const pf::Dictionary& params);
    // A story share: command 1.
    static bool shareWithLZoneWithData(const pf::Dictionary& data);
    static std::string getLZoneInstallUrl() { return ""; }
    static std::string getSupportingMaxApiVersion() { return "10.0"; }
    static std::string getApiVersion() { return "1.1"; }

    // Sign-in with the app the caller describes: "permission", "appid", "ResponseType" make the
    // request; "LMApiScheme"/"LZoneApiScheme" and "LMHost"/"LZoneHost" address the app and
    // "appScheme" names the reply scheme. "true" when the app was opened.
    static std::string sendCommandToLMWith(const pf::Value& params);
    static std::string sendCommandToLZoneWith(const pf::Value& params);

    // The script objects "openapi" and "openApi".
    static std::shared_ptr<MorrowJSObject> openapiObject();
    static std::shared_ptr<MorrowJSObject> openApiObject();

    // The script-built request: "scope", "app_id", "client_id", "app_name", "response_type",
    // "jsVersion", "bundleId" (those present), then the SDK information.
    static pf::Dictionary scriptRequestDictionary(const pf::Value& params);

private:
    static bool readReply(const pf::Url& url, const std::shared_ptr<MorrowOAuth>& session,
        const std::shared_ptr<MorrowSessionDelegate>& loginDelegate, bool missingNamedMeansCancel);
    static bool launch(const std::string& format, const std::vector<std::string>& values);
};
