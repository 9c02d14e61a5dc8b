#include "tools/peers/apps/LMBrowserApp.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Url.h"

#include <cstdio>

namespace peers {

namespace {

std::string textOf(const pf::Value& value)
{
    const std::string* text = value.asString();
    return text ? *text : std::string();
}

}

const char* LMBrowserApp::bundleIdentifier(Kind kind)
{
    return kind == Kind::New ? "com.morrow.mlmbrowser" : "com.morrow.mlbbrowser";
}

std::shared_ptr<LMBrowserApp> LMBrowserApp::install(Kind kind)
{
    auto app = std::make_shared<LMBrowserApp>();
    app->m_kind = kind;
    std::weak_ptr<LMBrowserApp> weak = app;
    pf::AppRegistry::shared().install({ bundleIdentifier(kind), { kind == Kind::New ? "mlmbrowser" : "mlbbrowser" },
        [weak](const pf::Url& url, const std::string&) {
            if (auto self = weak.lock())
                self->opened(url);
        } });
    return app;
}

void LMBrowserApp::uninstall() { pf::AppRegistry::shared().uninstall(bundleIdentifier(m_kind)); }

void LMBrowserApp::setAnswer(Answer answer, std::string token, pf::Dictionary fields)
{
    std::lock_guard lock(m_mutex);
    m_answer = answer;
    m_token = std::move(token);
    m_fields = std::move(fields);
}

std::vector<LMBrowserApp::Received> LMBrowserApp::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::optional<std::string> LMBrowserApp::lastReply() const
{
    std::lock_guard lock(m_mutex);
    return m_lastReply;
}

std::string LMBrowserApp::scramble(const std::string& token, const std::string& key)
{
    std::string out;
    for (size_t i = 0; i < token.size() && !key.empty(); ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02x", unsigned(static_cast<unsigned char>(token[i]) ^ static_cast<unsigned char>(key[i % key.size()])));
        out += hex;
    }
    return out;
}

void LMBrowserApp::opened(const pf::Url& url)
{
    Received got;
    got.url = url.absoluteString();
    size_t at = got.url.find("url=");
    if (at != std::string::npos)
        got.address = got.url.substr(at + 4);
    if (auto address = pf::Url::fromString(got.address)) {
        for (const auto& item : address->queryItems()) {
            auto value = pf::Url::unescape(item.value.value_or(""));
            got.params.set(item.name, value.value_or(""));
        }
    }
    Answer answer;
    std::string token;
    pf::Dictionary fields;
    {
        std::lock_guard lock(m_mutex);
        m_received.push_back(got);
        answer = m_answer;
        token = m_token;
        fields = m_fields;
    }
    std::string redirect = got.params.find("redirect_uri") ? textOf(*got.params.find("redirect_uri")) : std::string();
    if (answer == Answer::Nothing || redirect.empty())
        return;
    pf::Dictionary reply;
    std::string serial = got.params.find("serial") ? textOf(*got.params.find("serial")) : std::string();
    if (answer == Answer::Token) {
        std::string key = got.params.find("token_key") ? textOf(*got.params.find("token_key")) : std::string();
        reply.set("access_token", scramble(token, key));
        reply.set("openid", "OPENID-" + token);
    }
    reply.set("serial", serial);
    for (const auto& [name, value] : fields)
        reply.set(name, value);
    std::string fragment;
    for (const auto& [name, value] : reply) {
        std::string text = textOf(value);
        if (text.empty())
            continue;
        fragment += (fragment.empty() ? "" : "&") + name + "=" + pf::Url::escapeComponent(text);
    }
    std::string back = redirect + "#" + fragment;
    {
        std::lock_guard lock(m_mutex);
        m_lastReply = back;
    }
    if (auto backUrl = pf::Url::fromString(back))
        pf::AppRegistry::shared().openURL(*backUrl, bundleIdentifier(m_kind));
}

}
