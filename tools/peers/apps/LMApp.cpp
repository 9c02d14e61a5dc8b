#include "tools/peers/apps/LMApp.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Url.h"

namespace peers {

namespace {

constexpr const char* kNamedType = "lzappDataType";
constexpr const char* kRegistryName = "com.morrow.mlm.api.registerAppPlugin";
constexpr const char* kApiMessageName = "com.morrow.mlm.api.apiMessage";
constexpr const char* kLargeDataName = "com.morrow.mlm.api.apiLargeData";

// This app's own readers of the records the SDK leaves for it.
struct PluginRecord {
    static constexpr const char* kArchiveClassName = "LMPluginMetadata";
    LMApp::Plugin plugin;
    void encodeWithCoder(pf::KeyedArchiver&) const { }
    static std::shared_ptr<PluginRecord> initWithCoder(pf::KeyedUnarchiver& coder)
    {
        auto record = std::make_shared<PluginRecord>();
        if (coder.decodeInteger("ApiVersion") < 1) {
            coder.fail("old record");
            return record;
        }
        record->plugin.scheme = coder.decodeText("scheme").value_or("");
        record->plugin.displayName = coder.decodeText("displayName").value_or("");
        record->plugin.bundleIdentifier = coder.decodeText("bundleIdentifier").value_or("");
        record->plugin.version = coder.decodeText("version").value_or("");
        pf::Value icons = coder.decodeValue("iconFiles");
        if (const pf::Dictionary* entries = icons.asDictionary()) {
            for (const auto& [name, data] : *entries) {
                if (data.asData() && !data.asData()->empty())
                    record->plugin.iconNames.push_back(name);
            }
        }
        return record;
    }
};

struct DataArray {
    static constexpr const char* kArchiveClassName = "LMDataArray";
    pf::Array elements;
    void encodeWithCoder(pf::KeyedArchiver&) const { }
    static std::shared_ptr<DataArray> initWithCoder(pf::KeyedUnarchiver& coder)
    {
        auto array = std::make_shared<DataArray>();
        pf::Value list = coder.decodeValue("array");
        if (const pf::Array* items = list.asArray())
            array->elements = *items;
        return array;
    }
};

std::optional<pf::Bytes> namedData(const std::string& name)
{
    auto board = pf::Pasteboard::withName(name, false);
    return board ? board->dataForType(name) : std::nullopt;
}

bool isLMScheme(const std::string& scheme)
{
    if (scheme.size() != 10 || scheme.rfind("LM", 0) != 0)
        return false;
    return scheme.find_first_not_of("0123456789ABCDEF", 2) == std::string::npos;
}

}

std::shared_ptr<LMApp> LMApp::install(int version)
{
    auto app = std::make_shared<LMApp>();
    app->m_version = version;
    std::vector<std::string> schemes;
    if (version >= 3)
        schemes.push_back("mlmopensdkapiV2");
    if (version >= 2)
        schemes.push_back("mlmOpensdkSSoLogin");
    if (version >= 1) {
        schemes.push_back("mlm");
        schemes.push_back("mlmapi");
    }
    std::weak_ptr<LMApp> weak = app;
    pf::AppRegistry::shared().install({ kBundleIdentifier, schemes, [weak](const pf::Url& url, const std::string&) {
                                           if (auto self = weak.lock())
                                               self->opened(url);
                                       } });
    return app;
}

void LMApp::uninstall() { pf::AppRegistry::shared().uninstall(kBundleIdentifier); }

void LMApp::setAnswer(Answer answer, pf::Dictionary reply)
{
    std::lock_guard lock(m_mutex);
    m_answer = answer;
    m_reply = std::move(reply);
}

std::vector<LMApp::Received> LMApp::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::vector<LMApp::Share> LMApp::shares() const
{
    std::lock_guard lock(m_mutex);
    return m_shares;
}

void LMApp::shareOpened(const pf::Url& url)
{
    Share got;
    got.url = url.absoluteString();
    auto parts = url.pathComponents(); // "/", object type
    if (url.host() != "share" || parts.size() != 2)
        got.problems.push_back("not a share address");
    else
        got.objectType = parts[1];
    for (const auto& piece : url.queryItems())
        got.fields[piece.name] = piece.value.value_or("");
    std::string src = got.fields["src"];
    if (!isLMScheme(src))
        got.problems.push_back("src: " + src);

    auto registry = namedData(kRegistryName);
    auto array = registry ? pf::KeyedUnarchiver::unarchivedObject<DataArray>(*registry) : nullptr;
    if (!array)
        got.problems.push_back("no registry");
    bool registered = false;
    for (const auto& element : array ? array->elements : pf::Array {}) {
        auto record = element.asData() ? pf::KeyedUnarchiver::unarchivedObject<PluginRecord>(*element.asData()) : nullptr;
        if (!record) {
            got.problems.push_back("unreadable registry entry");
            continue;
        }
        if (record->plugin.iconNames.size() > 2)
            got.problems.push_back("icons: " + std::to_string(record->plugin.iconNames.size()));
        registered = registered || record->plugin.scheme == src;
        got.plugins.push_back(record->plugin);
    }
    if (!registered)
        got.problems.push_back("scheme not registered: " + src);

    got.hasApiMessage = namedData(kApiMessageName).has_value();
    got.largeDataOnGeneral = m_version >= 3;
    auto large = got.largeDataOnGeneral ? pf::Pasteboard::general()->dataForType(kLargeDataName) : namedData(kLargeDataName);
    if (large) {
        auto value = pf::KeyedUnarchiver::unarchivedValue(*large);
        if (value && value->asDictionary())
            got.largeData = *value->asDictionary();
        else
            got.problems.push_back("unreadable large data");
    }
    std::lock_guard lock(m_mutex);
    m_shares.push_back(std::move(got));
}

void LMApp::opened(const pf::Url& url)
{
    if (url.hasScheme("mlmapi")) {
        shareOpened(url);
        return;
    }
    Received got;
    got.url = url.absoluteString();
    auto parts = url.pathComponents(); // "/", reply scheme, place
    if (!url.hasScheme("mlmOpensdkSSoLogin") || url.host() != "SSoLogin" || parts.size() != 3) {
        got.problems.push_back("not a sign-in address");
    } else {
        got.replyScheme = parts[1];
        got.place = parts[2];
        got.general = url.query() && *url.query() == "generalpastboard=1";
        std::optional<pf::Bytes> data;
        if (got.general) {
            data = pf::Pasteboard::general()->dataForType(got.place);
            if (got.place != "com.morrow." + got.replyScheme)
                got.problems.push_back("type: " + got.place);
        } else if (auto board = pf::Pasteboard::withName(got.place, false)) {
            data = board->dataForType(kNamedType);
        }
        auto value = data ? pf::KeyedUnarchiver::unarchivedValue(*data) : std::nullopt;
        if (value && value->asDictionary())
            got.request = *value->asDictionary();
        else
            got.problems.push_back("no request");
        for (const char* key : { "scope", "app_id", "client_id", "app_name", "response_type" }) {
            const pf::Value* entry = got.request ? got.request->find(key) : nullptr;
            if (!entry || !entry->asString())
                got.problems.push_back(std::string(key) + ": missing");
        }
    }
    Answer answer;
    pf::Dictionary reply;
    {
        std::lock_guard lock(m_mutex);
        m_received.push_back(got);
        answer = m_answer;
        reply = m_reply;
    }
    if (got.replyScheme.empty())
        return;
    if (answer == Answer::Cancel)
        reply = pf::Dictionary { { "user_cancelled", "YES" } };
    if (answer == Answer::Token || answer == Answer::Cancel) {
        pf::Bytes archive = pf::KeyedArchiver::archivedValue(pf::Value(reply));
        if (got.general) {
            pf::Pasteboard::general()->setData(archive, got.place);
        } else if (auto board = pf::Pasteboard::withName(got.place, true)) {
            board->setPersistent(true);
            board->setData(archive, kNamedType);
        }
    } else if (answer == Answer::RemoveBoard && !got.general) {
        pf::Pasteboard::remove(got.place);
    }
    auto back = pf::Url::fromString(got.replyScheme + "://lzapp/login/0?generalpastboard=" + (got.general ? "1" : "0"));
    if (back)
        pf::AppRegistry::shared().openURL(*back, kBundleIdentifier);
}

}
