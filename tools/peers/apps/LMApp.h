#pragma once

#include "platform/foundation/Value.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pf {
class Url;
}

namespace peers {

// A stand-in for the LM app on the simulated device. It registers the probe schemes of the
// version a test picks (3: the general pasteboard; 2: named pasteboards; 1: the plain scheme),
// reads a sign-in request from "mlmOpensdkSSoLogin://SSoLogin/<reply scheme>/<place>?generalpastboard=0|1",
// checks its keys, keeps it, and answers as told by writing a reply at the same place and
// opening "<reply scheme>://lzapp/login/0?generalpastboard=0|1".
//
// It also takes shares: on "mlmapi://share/<object type>?..." it reads the plug-in registry,
// the API message and the share's large data (on the general pasteboard from version 3, else
// on its named pasteboard) with readers of its own, checks them against the address and keeps
// what it found.
class LMApp : public std::enable_shared_from_this<LMApp> {
public:
    static constexpr const char* kBundleIdentifier = "com.morrow.mlm";

    struct Received {
        std::string url;
        std::string replyScheme;
        std::string place;
        bool general { false };
        std::optional<pf::Dictionary> request;
        std::vector<std::string> problems;
    };
    enum class Answer { Token, Cancel, Nothing, RemoveBoard };

    struct Plugin {
        std::string scheme;
        std::string displayName;
        std::string bundleIdentifier;
        std::string version;
        std::vector<std::string> iconNames;
    };
    struct Share {
        std::string url;
        std::string objectType;
        std::map<std::string, std::string> fields; // the query, unescaped
        std::vector<Plugin> plugins;
        bool hasApiMessage { false };
        bool largeDataOnGeneral { false };
        std::optional<pf::Dictionary> largeData;
        std::vector<std::string> problems;
    };

    static std::shared_ptr<LMApp> install(int version);
    void uninstall();

    // The reply to later requests: Token writes `reply` (token, open id, "expires_in",
    // "encrytoken" as the test sets them); Cancel writes "user_cancelled"; Nothing opens the
    // reply address without writing; RemoveBoard removes the named pasteboard first.
    void setAnswer(Answer answer, pf::Dictionary reply = {});
    std::vector<Received> received() const;
    std::vector<Share> shares() const;

private:
    void opened(const pf::Url& url);
    void shareOpened(const pf::Url& url);

    mutable std::mutex m_mutex;
    std::vector<Received> m_received;
    std::vector<Share> m_shares;
    int m_version { 0 };
    Answer m_answer { Answer::Nothing };
    pf::Dictionary m_reply;
};

}
