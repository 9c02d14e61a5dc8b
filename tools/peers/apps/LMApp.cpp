#include "tools/peers/apps/LMApp.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Url.h"

namespace peers {

namespace {

constexpr const char* kNamedType = "lzappDataType";

}

std::shared_ptr<LMApp> LMApp::install(int version)
{
    auto app = std::make_shared<LMApp>();
    std::vector<std::string> schemes;
    if (version >= 3)
        schemes.push_back("mlmopensdkapiV2");
    if (version >= 2)
        schemes.push_back("mlmOpensdkSSoLogin");
    if (version >= 1)
        schemes.push_back("mlm");
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

void LMApp::opened(const pf::Url& url)
{
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
