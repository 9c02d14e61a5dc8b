#include "sdk/lmconnect/apps/OpenApi.h"

#include "sdk/lmconnect/host/MorrowJSObject.h"
#include "sdk/lmconnect/apps/MorrowSessionDelegate.h"
#include "sdk/lmconnect/apps/MorrowApiInterface.h"
#include "sdk/lmconnect/apps/MorrowAppLauncher.h"
#include "sdk/lmconnect/apps/MorrowAppPasteboard.h"
#include "sdk/lmconnect/apps/OpenApiDelegate.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/AsciiText.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

struct State {
    std::weak_ptr<OpenApiDelegate> oldApi;
    std::weak_ptr<MorrowSessionDelegate> apiDelegate;
    std::weak_ptr<MorrowSessionDelegate> loginDelegate;
    int replyDepth { 0 };
};

// Never destroyed: a session reaches it from its destructor, which may run among the static
// destructors at process exit, after this state would otherwise be gone. A new launch forgets
// what it held.
State& state()
{
    static State* s = [] {
        auto* made = new State;
        pf::ResetRegistry::add([made] { *made = State(); });
        return made;
    }();
    return *s;
}

// Whether a text is a number of seconds: digits with a sign and a fraction allowed, and blanks
// around them. Another app writes it: "", "x" or "12abc" are no lifetime at all.
bool isNumberText(std::string_view whole)
{
    std::string_view text = pf::AsciiText::trimmed(whole);
    size_t at = 0, end = text.size();
    if (at < end && (text[at] == '+' || text[at] == '-'))
        ++at;
    size_t digits = at;
    while (at < end && text[at] >= '0' && text[at] <= '9')
        ++at;
    if (at == digits)
        return false;
    if (at < end && text[at] == '.')
        ++at;
    while (at < end && text[at] >= '0' && text[at] <= '9')
        ++at;
    return at == end;
}

// The whole seconds of a reply's "expires_in", a text or a number; none when it is neither.
// Another app writes it, so anything beyond the distant future is cut to it (a real number of
// any size, a text of many digits) and a value that is no number at all (NaN, a text of other
// characters) is none.
std::optional<long long> integerOf(const pf::Value& value)
{
    constexpr double kLimit = OpenApi::kDistantFuture;
    double seconds;
    if (const std::string* text = value.asString()) {
        if (!isNumberText(*text))
            return std::nullopt;
        errno = 0;
        char* end = nullptr;
        long long n = std::strtoll(text->c_str(), &end, 10);
        seconds = errno == ERANGE ? (n < 0 ? -kLimit : kLimit) : double(n);
    } else if (auto integer = value.asInteger()) {
        seconds = double(*integer);
    } else if (value.isNumber()) {
        seconds = value.doubleValue();
        if (std::isnan(seconds))
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    return static_cast<long long>(std::clamp(seconds, -kLimit, kLimit));
}

std::string lowerFirst(std::string text)
{
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = char(text[0] - 'A' + 'a');
    return text;
}

const pf::Value& at(const pf::Dictionary& dict, std::string_view key)
{
    const pf::Value* value = dict.find(key);
    return value ? *value : pf::Value::missing();
}

}

bool OpenApi::registerApp(const std::string& appId)
{
    MorrowAppLauncher::setAppSchema("morrow" + appId);
    return true;
}

bool OpenApi::registerAppWithDelegateAndOldApi(const std::string& appId, std::weak_ptr<MorrowSessionDelegate> delegate,
    std::weak_ptr<OpenApiDelegate> session)
{
    state().oldApi = std::move(session);
    state().apiDelegate = std::move(delegate);
    return registerApp(appId);
}

void OpenApi::clearParam()
{
    state().oldApi.reset();
    state().apiDelegate.reset();
    state().loginDelegate.reset();
}

void OpenApi::clearParamIfSessionGone()
{
    if (state().oldApi.expired())
        clearParam();
}

void OpenApi::setLoginDelegate(std::weak_ptr<MorrowSessionDelegate> delegate) { state().loginDelegate = std::move(delegate); }

bool OpenApi::handleOpenURL(const pf::Url& url)
{
    if (MorrowApiInterface::canOpenURL(url))
        return MorrowApiInterface::handleOpenURL(url, state().apiDelegate.lock());
    if (isAppReply(url))
        return processMessage(url);
    if (auto session = state().oldApi.lock())
        return session->handleOpenURL(url);
    return false;
}

bool OpenApi::canHandleOpenURL(const pf::Url& url)
{
    if (isAppReply(url))
        return true;
    auto session = state().oldApi.lock();
    return session && session->oldCanhandleOpenURL(url);
}

bool OpenApi::isAppReply(const pf::Url& url)
{
    const std::string& schema = MorrowAppLauncher::appSchema();
    return !schema.empty() && url.hasScheme(schema) && url.host() == kReplyHost;
}

bool OpenApi::processMessage(const pf::Url& url)
{
    const std::string& schema = MorrowAppLauncher::appSchema();
    if (schema.empty() || !url.hasScheme(schema))
        return false;
    return readReply(url, state().oldApi.lock(), state().loginDelegate.lock(), true);
}

bool OpenApi::processMessageCallByOAuth(const pf::Url& url, const std::shared_ptr<OpenApiDelegate>& session,
    const std::shared_ptr<MorrowSessionDelegate>& loginDelegate)
{
    // The scripts may hand a reply back to us from inside the handling of one.
    if (state().replyDepth > 0)
        return false;
    ++state().replyDepth;
    bool result = readReply(url, session, loginDelegate, false);
    --state().replyDepth;
    return result;
}

bool OpenApi::readReply(const pf::Url& url, const std::shared_ptr<OpenApiDelegate>& session,
    const std::shared_ptr<MorrowSessionDelegate>& loginDelegate, bool missingNamedMeansCancel)
{
    auto parts = url.pathComponents();
    if (parts.size() != 3) {
        if (!session)
            return false;
        ++state().replyDepth;
        bool taken = session->handleOpenURL(url);
        --state().replyDepth;
        return taken;
    }
    const std::string& commandText = parts[2];
    // The command is another app's text: a number too large for an int is no command (0).
    int command = 0;
    if (std::from_chars(commandText.data(), commandText.data() + commandText.size(), command).ec != std::errc())
        command = 0;
    pf::Dictionary query = dictionaryByParseUrlFromSeparator(url.absoluteString(), "?");
    const pf::Value* general = query.find("generalpastboard");
    bool fromGeneral = general && general->optionalString() == std::optional<std::string>("1");
    std::optional<pf::Dictionary> reply = MorrowAppPasteboard::readReply(fromGeneral, missingNamedMeansCancel);

    auto apiDelegate = state().apiDelegate.lock();
    if (!commandText.empty() && commandText != std::to_string(command)) {
        if (auto r = MorrowAppPasteboard::responseOf(reply); r && apiDelegate) {
            if (!apiDelegate->deliver(lowerFirst(commandText) + "Response", r))
                apiDelegate->responseDidReceived(r, commandText);
        }
        return true;
    }
    if (command == 1) {
        if (auto r = MorrowAppPasteboard::responseOf(reply); r && apiDelegate)
            apiDelegate->sendStoryResponse(r);
        return true;
    }
    if (command != 0 || !reply || !session)
        return true;
    if (at(*reply, "user_cancelled").optionalString() == std::optional<std::string>("YES")) {
        if (loginDelegate)
            loginDelegate->morrowDidNotLogin(true);
        return true;
    }
    std::optional<double> expiry = expiryForLifetime(reply->find("expires_in"));
    bool refused = !expiry;
    bool whole = session->openApiDidReceiveSignIn({ at(*reply, "openid").optionalString(), at(*reply, "access_token").optionalString(),
        expiry, at(*reply, "encrytoken").optionalString() });
    if (loginDelegate) {
        if (!refused && whole)
            loginDelegate->morrowDidLogin();
        else
            loginDelegate->morrowDidNotLogin(false);
    }
    return true;
}

bool OpenApi::niceAuthorizeWithPermission(const pf::Value& permissions, std::weak_ptr<MorrowSessionDelegate> delegate,
    int firstCall, const std::string& appId)
{
    std::string name = pf::Bundle::main()->displayName();
    if (appId.empty() || name.empty())
        return false;
    pf::Dictionary request { { "scope", permissions }, { "app_id", appId }, { "client_id", appId }, { "app_name", name },
        { "response_type", "token" } };
    bool opened = firstCall == 1
        ? (MorrowAppLauncher::openLMWithCommand(0, request) || MorrowAppLauncher::openLZoneWithCommandStr("0", request))
        : (MorrowAppLauncher::openLZoneWithCommandStr("0", request) || MorrowAppLauncher::openLMWithCommand(0, request));
    if (opened)
        state().loginDelegate = std::move(delegate);
    return opened;
}

std::optional<double> OpenApi::expiryForLifetime(const pf::Value* expiresIn)
{
    if (!expiresIn)
        return pf::RunLoop::main().clock().now() + kDefaultLifetime;
    auto seconds = integerOf(*expiresIn);
    if (!seconds || *seconds < 0)
        return std::nullopt;
    if (*seconds == 0)
        return kDistantFuture;
    return std::min(kDistantFuture, pf::RunLoop::main().clock().now() + double(*seconds));
}

pf::Dictionary OpenApi::dictionaryByParseUrlFromSeparator(const std::string& text, const std::string& separator)
{
    pf::Dictionary result;
    auto query = pf::QueryString::afterSeparator(text, separator);
    if (!query)
        return result;
    const pf::QueryString::Rules rules { .pieces = pf::QueryString::Pieces::WithOneEquals, .requireName = true,
        .names = pf::QueryString::Escapes::ResolvedOrSkipped, .values = pf::QueryString::Escapes::ResolvedOrSkipped };
    for (auto& item : pf::QueryString::parse(*query, rules))
        result.set(std::move(item.name), std::move(*item.value));
    return result;
}

std::shared_ptr<MorrowJSObject> OpenApi::openApiObject()
{
    auto object = std::make_shared<MorrowJSObject>("openApi");
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) {
        const pf::Dictionary* params = a[0].value.asDictionary();
        if (params) {
            for (const auto& [key, value] : *params) {
                if (auto text = value.optionalString(); text && pf::Application::shared().canOpenURL(*text))
                    return MorrowBridgeValue("true");
            }
        }
        return MorrowBridgeValue("false");
    }, 1, "isAppVersion", 1, { 2 });
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) {
        auto url = pf::Url::fromString(a[0].value["urlStr"].optionalString().value_or(std::string()));
        if (!url)
            return MorrowBridgeValue("NO");
        if (!MorrowApiInterface::canOpenURL(*url))
            return MorrowBridgeValue("YES");
        MorrowApiInterface::handleOpenURL(*url, state().apiDelegate.lock());
        return MorrowBridgeValue("NO");
    }, 1, "handleOpenUrlJudge", 1, { 2 });
    return object;
}
