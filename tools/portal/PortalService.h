#pragma once

#include "tools/portal/PortalCatalog.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace portal {

struct PortalOptions {
    std::string host { "127.0.0.1" };
    int port { 0 };
    // Must match the client's "app_key" and "open_id".
    std::string appKey { "quorvane-sample-key" };
    std::string openID { "quorvane-sample-client" };
    // The version that "game/verup" offers to older builds.
    std::string latestVersion { "1.2.0" };
};

// One decoded API call: the operation path ("ka/list"), the form fields and the two headers
// the portal reads.
struct PortalRequest {
    std::string operation;
    std::string query; // after "?", as written
    std::map<std::string, std::string> form;
    std::optional<std::string> authorization; // the raw "Authorization" header
    std::optional<std::string> imei;
};

struct PortalReply {
    int httpStatus { 200 };
    std::string contentType { "application/json; charset=utf-8" };
    std::string body;
};

// The portal's operations and state, without the HTTP around them. Thread-safe.
//
// Rules:
// - Every operation checks "openid" and the signature "actoken" (MD5 of the app key, the
//   operation's signed text and "actime"); the operations that need a user also check the
//   "Authorization" header's token, which the signature then covers. A failed check answers
//   a non-zero "ret" with a "msg" and no "body".
// - Replies are the envelope {"ret", "msg", "body"}; "ret" 0 is success.
// - State (users, tokens, codes given out and released, captchas) lives as long as the object.
//   Gift statuses follow the clock: a booked gift opens at its start time.
class PortalService {
public:
    // `rootURL` is the server's own address ("http://127.0.0.1:8080/"); image and page
    // addresses in replies are built on it. `clock` gives seconds since 1970.
    PortalService(PortalOptions options, std::string rootURL, std::function<long long()> clock = {});

    PortalReply handle(const PortalRequest& request);
    // "ka/capth" and the other pictures, by path under "img/" ("icon/1001.png").
    std::optional<std::vector<unsigned char>> image(const std::string& path);
    // Static pages: the feedback page ("user/refer" answers with it), the forum board page and
    // a gift's web page ("gift/1001.html").
    std::optional<std::string> page(const std::string& path);

    // The forum's LM connect page for its query ("mod", "op", and on sign-in "username" and
    // "password"): the sign-in form, or, for a forum account's right password, the signed-in
    // page whose page-bridge handler "lmLogin" answers with the account's web credentials.
    std::string forumConnectPage(const std::map<std::string, std::string>& query);
    // The web credentials ("webauth", "saltkey") the forum hands out for an account; "user/weblm"
    // takes them back to that account.
    std::pair<std::string, std::string> forumCredentials(const std::string& username) const;

    // Test support, standing in for a person reading the captcha picture: the words to tap.
    std::optional<std::string> answerOfCaptcha(const std::string& verifystr) const;
    // Test support: changes the sample data (a gift's title, say) before or between requests.
    void editCatalog(const std::function<void(PortalCatalog&)>& edit);

    const PortalOptions& options() const { return m_options; }
    static std::string md5Hex(const std::string& text);

private:
    struct User {
        int uid { 0 };
        std::string username;
        std::string password;
        std::string nickname;
        int extcredits1 { 0 };
        int extcredits2 { 0 };
        long long lastRewardDay { -1 };
    };
    struct Obtained {
        int fid { 0 };
        std::string code;
        long long when { 0 };
    };
    struct Captcha {
        int uid { 0 };
        std::string answer;
        std::vector<std::string> answerWords;
        std::array<std::string, 9> words;
        int seed { 0 };
    };
    struct Session {
        int uid { 0 };
        long long expires { 0 };
    };

    PortalReply operation(const PortalRequest& request);
    static std::string headerToken(const PortalRequest& request);
    User* userOfToken(const std::string& token);
    Gift* gift(int fid);
    User* addUser(std::string username, std::string password, std::string nickname, int gold, int points);
    std::string newToken(int uid);
    std::string newCode(int fid);
    std::string avatarURL(const User& user) const;
    std::string iconURL(const Gift& gift) const;
    long long now() const { return m_clock(); }

    PortalOptions m_options;
    std::string m_root;
    std::function<long long()> m_clock;
    mutable std::mutex m_mutex;
    std::unique_ptr<PortalCatalog> m_catalog;
    std::map<int, User> m_users;
    std::map<std::string, Session> m_sessions;
    std::map<int, std::vector<Obtained>> m_obtained; // by uid
    std::map<std::string, Captcha> m_captchas;
    std::mt19937 m_random;
    int m_nextUid { 10001 };

};

}
