#include "tools/peers/apps/BlipApp.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Crypto.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"

namespace peers {

namespace {

bool modernPasteboards()
{
    return pf::Device::current().systemMajorVersion() >= 7;
}

std::optional<pf::Dictionary> dictionaryIn(const pf::Bytes& archive)
{
    auto value = pf::KeyedUnarchiver::unarchivedValue(archive);
    if (!value || !value->asDictionary())
        return std::nullopt;
    return *value->asDictionary();
}

std::optional<std::string> queryValue(const pf::Url& url, const std::string& name)
{
    for (const auto& item : url.queryItems()) {
        if (item.name == name && item.value)
            return pf::Url::unescape(*item.value);
    }
    return std::nullopt;
}

}

std::shared_ptr<BlipApp> BlipApp::install(Version version)
{
    auto app = std::make_shared<BlipApp>();
    std::weak_ptr<BlipApp> weak = app;
    std::vector<std::string> schemes { "sableblip" };
    if (version == Version::Current)
        schemes.push_back("blipsdk");
    pf::AppRegistry::shared().install({ kBundleIdentifier, schemes, [weak](const pf::Url& url, const std::string&) {
                                           if (auto self = weak.lock())
                                               self->opened(url);
                                       } });
    return app;
}

void BlipApp::uninstall()
{
    pf::AppRegistry::shared().uninstall(kBundleIdentifier);
}

std::vector<BlipApp::Received> BlipApp::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

void BlipApp::setAnswer(std::optional<Answer> answer)
{
    std::lock_guard lock(m_mutex);
    m_answer = answer;
}

std::string BlipApp::pasteboardName(const std::string& type, const std::string& id)
{
    return "blipsdk_" + type + "_" + pf::Crypto::md5Hex(id, true);
}

std::vector<std::pair<std::string, pf::Dictionary>> BlipApp::registeredApps()
{
    std::vector<std::pair<std::string, pf::Dictionary>> apps;
    auto board = pf::Pasteboard::withName("blipsdk_registed_apps", false);
    if (!board)
        return apps;
    for (const auto& item : board->items()) {
        if (item.size() != 1)
            continue;
        if (auto app = dictionaryIn(item.begin()->second))
            apps.emplace_back(item.begin()->first, *app);
    }
    return apps;
}

void BlipApp::opened(const pf::Url& url)
{
    Received got;
    got.url = url.absoluteString();
    got.type = url.host();
    got.id = queryValue(url, "id").value_or("");
    if (!url.hasScheme("blipsdk") || got.id.empty()) {
        std::lock_guard lock(m_mutex);
        m_received.push_back(got);
        return;
    }
    auto board = modernPasteboards() ? pf::Pasteboard::general() : pf::Pasteboard::withName(pasteboardName(got.type, got.id), false);
    if (board) {
        for (const auto& item : board->items()) {
            for (const auto& [type, data] : item) {
                got.itemOrder.push_back(type);
                if (type == "transferObject")
                    got.object = dictionaryIn(data);
                else if (type == "userInfo")
                    got.userInfo = dictionaryIn(data);
                else if (type == "app")
                    got.app = dictionaryIn(data);
                else if (type == "sdkVersion")
                    got.sdkVersion = std::string(data.begin(), data.end());
            }
        }
    }
    auto text = [](const std::optional<pf::Dictionary>& d, const char* key) -> std::string {
        const pf::Value* v = d ? d->find(key) : nullptr;
        return v && v->asString() ? *v->asString() : "";
    };
    if (!got.object) {
        got.problems.push_back("no transfer object");
    } else {
        std::string idKey = got.type == "request" ? "requestID" : "responseID";
        if (text(got.object, idKey.c_str()) != got.id)
            got.problems.push_back(idKey + " is not the id of the address");
        if (text(got.object, "__class").empty())
            got.problems.push_back("no __class");
    }
    if (got.sdkVersion != std::optional<std::string>(kSdkVersion))
        got.problems.push_back("sdkVersion is not 2.4");
    std::string appKey = text(got.app, "appKey");
    bool registered = false;
    for (const auto& [key, app] : registeredApps())
        registered = registered || (key == appKey && !appKey.empty());
    if (!registered)
        got.problems.push_back("app not registered: " + appKey);
    if (got.itemOrder.empty() || got.itemOrder.front() != "transferObject" || got.itemOrder.back() != "sdkVersion")
        got.problems.push_back("items out of order");

    std::optional<Answer> answer;
    {
        std::lock_guard lock(m_mutex);
        m_received.push_back(got);
        answer = m_answer;
    }
    std::string requestClass = text(got.object, "__class");
    if (!answer || got.type != "request" || appKey.empty()
        || (requestClass != "BPAuthorizeRequest" && requestClass != "BPSendMessageToBlipRequest"))
        return;
    std::string responseID = pf::Device::makeUuid();
    pf::Dictionary response { { "__class", requestClass == "BPAuthorizeRequest" ? "BPAuthorizeResponse" : "BPSendMessageToBlipResponse" },
        { "responseID", responseID }, { "requestID", got.id }, { "statusCode", answer->statusCode } };
    std::optional<pf::Dictionary> userInfo;
    if (requestClass == "BPAuthorizeRequest") {
        response.set("userID", answer->userID);
        response.set("accessToken", answer->accessToken);
        response.set("expirationDate", pf::Date { pf::RunLoop::main().now() + answer->expiresIn });
        userInfo = pf::Dictionary { { "uid", answer->userID } };
    }
    sendToApp(appKey, "response", responseID, response, userInfo);
}

void BlipApp::sendToApp(const std::string& appKey, const std::string& type, const std::string& id,
    const pf::Dictionary& object, const std::optional<pf::Dictionary>& userInfo)
{
    std::vector<pf::Pasteboard::Item> items;
    items.push_back({ { "transferObject", pf::KeyedArchiver::archivedValue(object) } });
    if (userInfo)
        items.push_back({ { "userInfo", pf::KeyedArchiver::archivedValue(*userInfo) } });
    items.push_back({ { "app", pf::KeyedArchiver::archivedValue(pf::Dictionary { { "name", "Blip" }, { "bundleID", kBundleIdentifier } }) } });
    std::string version = kSdkVersion;
    items.push_back({ { "sdkVersion", pf::Bytes(version.begin(), version.end()) } });
    std::shared_ptr<pf::Pasteboard> board;
    if (modernPasteboards()) {
        board = pf::Pasteboard::general();
    } else {
        board = pf::Pasteboard::withName(pasteboardName(type, id), true);
        board->setPersistent(true);
    }
    board->setItems(std::move(items));
    if (auto url = pf::Url::fromString("bp" + appKey + "://" + type + "?id=" + id + "&sdkversion=" + kSdkVersion))
        pf::AppRegistry::shared().openURL(*url, kBundleIdentifier);
}

}
