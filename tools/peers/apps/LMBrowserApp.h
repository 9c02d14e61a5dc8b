#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pf {
class Url;
}

namespace peers {

// A stand-in for a LM browser on the simulated device: the new one ("mlmbrowser://",
// "com.morrow.mlmbrowser") or the old one ("mlbbrowser://", "com.morrow.mlbbrowser"). It takes
// "<scheme>url=<sign-in address>", keeps the address, and answers as told by opening the
// address's "redirect_uri" with the result in the fragment: a token scrambled with the
// address's "token_key" (each character's code XOR the key's, two hex digits), the open id,
// "expires_in" and the "serial" it was sent; or the fields a test gives.
class LMBrowserApp : public std::enable_shared_from_this<LMBrowserApp> {
public:
    enum class Kind { New, Old };
    enum class Answer { Token, Fields, Nothing };

    struct Received {
        std::string url;
        std::string address;
        pf::Dictionary params; // the sign-in address's query, unescaped
    };

    static std::shared_ptr<LMBrowserApp> install(Kind kind);
    void uninstall();
    static const char* bundleIdentifier(Kind kind);

    // Token: "access_token" (scrambled `token`), "openid", "serial" and the extra `fields`
    // (which replace those of the same name; an empty value leaves the name out). Fields: only
    // `fields`, with "serial" added unless given.
    void setAnswer(Answer answer, std::string token = {}, pf::Dictionary fields = {});
    std::vector<Received> received() const;
    // The reply address last opened.
    std::optional<std::string> lastReply() const;

    static std::string scramble(const std::string& token, const std::string& key);

private:
    void opened(const pf::Url& url);

    Kind m_kind { Kind::New };
    mutable std::mutex m_mutex;
    std::vector<Received> m_received;
    Answer m_answer { Answer::Nothing };
    std::string m_token;
    pf::Dictionary m_fields;
    std::optional<std::string> m_lastReply;
};

}
