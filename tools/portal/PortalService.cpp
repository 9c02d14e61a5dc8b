#include "tools/portal/PortalService.h"

#include "tools/portal/PortalImages.h"
#include "platform/foundation/AsciiText.h"

#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>

namespace portal {

using json = nlohmann::ordered_json;

namespace {

constexpr long long kTokenLifetime = 30 * 86400;
constexpr int kRewardGold = 5;
constexpr int kRewardPoints = 2;
constexpr size_t kCaptchasKept = 64;

// Characters of the captcha tiles: common, clearly distinct ones.
const std::vector<std::string> kCaptchaWords { "天", "地", "人", "山", "水", "火", "风", "云", "龙", "虎", "花",
    "月", "星", "海", "金", "木", "石", "雪", "春", "秋", "光", "影", "心", "力" };

PortalReply reply(int ret, const std::string& msg, const json* body = nullptr)
{
    json envelope;
    envelope["ret"] = ret;
    envelope["msg"] = msg;
    if (body)
        envelope["body"] = *body;
    return { 200, "application/json; charset=utf-8", envelope.dump() };
}

PortalReply success(const json& body, const std::string& msg = "")
{
    return reply(0, msg, &body);
}

PortalReply failure(int ret, const std::string& msg)
{
    return reply(ret, msg);
}

// Failure codes.
constexpr int kFailed = 1;       // the operation could not be done ("msg" says why)
constexpr int kBadSignature = 2; // "actoken" does not match
constexpr int kBadClient = 3;    // unknown "openid"
constexpr int kNotLoggedIn = 4;  // no or unknown user token

std::string field(const PortalRequest& request, const std::string& key)
{
    auto it = request.form.find(key);
    return it == request.form.end() ? std::string() : it->second;
}

bool hasField(const PortalRequest& request, const std::string& key)
{
    return request.form.count(key) != 0;
}

// A decimal field; `fallback` when missing or not a whole number.
long long number(const PortalRequest& request, const std::string& key, long long fallback)
{
    std::string text = field(request, key);
    if (text.empty() || text.size() > 12)
        return fallback;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return fallback;
    for (size_t j = i; j < text.size(); ++j) {
        if (text[j] < '0' || text[j] > '9')
            return fallback;
    }
    return std::stoll(text);
}

std::vector<int> parseVersion(const std::string& text)
{
    std::vector<int> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, '.'))
        parts.push_back(std::atoi(part.c_str()));
    return parts;
}

bool olderVersion(const std::string& version, const std::string& latest)
{
    auto a = parseVersion(version);
    auto b = parseVersion(latest);
    size_t n = std::max(a.size(), b.size());
    a.resize(n);
    b.resize(n);
    return a < b;
}

std::string htmlEscape(const std::string& text)
{
    return pf::AsciiText::htmlEscaped(text);
}

// The signed-in connect page's script: its page-bridge handler "lmLogin" answers with the
// forum's web credentials.
std::string forumAnswerScript(const std::string& webauth, const std::string& saltkey)
{
    json credentials { { "webauth", webauth }, { "saltkey", saltkey } };
    // The app's page bridge arrives once the page has loaded; the answer waits for it.
    // Then a hidden frame's navigation lets the app know something happened, so that it asks.
    return "<script>window.onPageBridgeReady = function (bridge) { bridge.registerHandler(\"lmLogin\", "
           "function (data, respond) { respond(" + credentials.dump() + "); });"
           " var frame = document.createElement(\"iframe\"); frame.style.display = \"none\";"
           " document.documentElement.appendChild(frame); frame.src = \"about:blank\"; };</script>";
}

std::string htmlPage(const std::string& title, const std::string& body)
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + htmlEscape(title) + "</title></head><body>"
        + body + "</body></html>";
}

}

std::string PortalService::md5Hex(const std::string& text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    std::string hex;
    char byte[3];
    for (unsigned i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", digest[i]);
        hex += byte;
    }
    return hex;
}

PortalService::PortalService(PortalOptions options, std::string rootURL, std::function<long long()> clock)
    : m_options(std::move(options))
    , m_root(std::move(rootURL))
    , m_clock(std::move(clock))
    , m_random(std::random_device {}())
{
    if (!m_clock) {
        m_clock = [] {
            return static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(
                std::chrono::system_clock::now().time_since_epoch()).count());
        };
    }
    m_catalog = std::make_unique<PortalCatalog>(now());
    long long start = now();
    for (auto& u : m_catalog->users) {
        User* user = addUser(u.username, u.password, u.nickname, u.extcredits1, u.extcredits2);
        // Codes of the open gifts in turn, one an hour, the newest last.
        std::vector<int> open;
        for (auto& g : m_catalog->gifts) {
            if (g.statusAt(start) == 1)
                open.push_back(g.fid);
        }
        for (int n = 0; user && !open.empty() && n < u.codesObtained; ++n) {
            int fid = open[static_cast<size_t>(n) % open.size()];
            m_obtained[user->uid].push_back({ fid, "QV" + std::to_string(fid) + "-HELD-" + std::to_string(1000 + n),
                start - (u.codesObtained - n) * 3600LL });
        }
    }
}

PortalService::User* PortalService::addUser(std::string username, std::string password, std::string nickname,
    int gold, int points)
{
    User user;
    user.uid = m_nextUid++;
    user.username = std::move(username);
    user.password = std::move(password);
    user.nickname = std::move(nickname);
    user.extcredits1 = gold;
    user.extcredits2 = points;
    auto& stored = m_users[user.uid];
    stored = std::move(user);
    return &stored;
}

std::string PortalService::newToken(int uid)
{
    char text[33];
    std::uniform_int_distribution<int> hexDigit(0, 15);
    for (int i = 0; i < 32; ++i)
        text[i] = "0123456789abcdef"[hexDigit(m_random)];
    text[32] = 0;
    m_sessions[text] = { uid, now() + kTokenLifetime };
    return text;
}

std::string PortalService::newCode(int fid)
{
    static const char kLetters[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kLetters) - 2);
    std::string code = "QV" + std::to_string(fid) + "-";
    for (int i = 0; i < 8; ++i) {
        if (i == 4)
            code += '-';
        code += kLetters[pick(m_random)];
    }
    return code;
}

std::string PortalService::avatarURL(const User& user) const
{
    return m_root + "img/avatar/" + std::to_string(user.uid) + ".png";
}

std::string PortalService::iconURL(const Gift& g) const
{
    return m_root + "img/icon/" + std::to_string(g.fid) + ".png";
}

Gift* PortalService::gift(int fid)
{
    for (auto& g : m_catalog->gifts) {
        if (g.fid == fid)
            return &g;
    }
    return nullptr;
}

std::string PortalService::headerToken(const PortalRequest& request)
{
    // The header reads: OAuth usertoken="<token>"
    if (!request.authorization)
        return {};
    const std::string& header = *request.authorization;
    const std::string prefix = "OAuth usertoken=\"";
    if (header.rfind(prefix, 0) != 0 || header.size() < prefix.size() + 1 || header.back() != '"')
        return {};
    return header.substr(prefix.size(), header.size() - prefix.size() - 1);
}

PortalService::User* PortalService::userOfToken(const std::string& token)
{
    auto session = m_sessions.find(token);
    if (token.empty() || session == m_sessions.end() || session->second.expires <= now())
        return nullptr;
    auto user = m_users.find(session->second.uid);
    return user == m_users.end() ? nullptr : &user->second;
}

PortalReply PortalService::handle(const PortalRequest& request)
{
    std::lock_guard lock(m_mutex);
    return operation(request);
}

PortalReply PortalService::operation(const PortalRequest& request)
{
    const std::string& op = request.operation;
    static const std::vector<std::string> kTokenOperations { "user/info", "user/logout", "ka/receive", "ka/mine",
        "ka/capth" };
    static const std::vector<std::string> kKnown { "user/info", "user/credentials", "user/reg", "user/weblm",
        "user/logout", "zz", "ka/list", "ka/info", "ka/receive", "ka/mine", "ka/check", "ka/search", "arc/tui",
        "game/verup", "arc/lun", "ka/capth", "user/refer" };
    if (std::find(kKnown.begin(), kKnown.end(), op) == kKnown.end())
        return { 404, "application/json; charset=utf-8", R"({"ret":404,"msg":"接口不存在"})" };

    if (field(request, "openid") != m_options.openID)
        return failure(kBadClient, "客户端未授权");

    bool needsUser = std::find(kTokenOperations.begin(), kTokenOperations.end(), op) != kTokenOperations.end();
    std::string token = headerToken(request);
    User* user = userOfToken(token);
    if (needsUser && !user)
        return failure(kNotLoggedIn, "请先登录");

    // The signed text of each operation.
    std::string signedText;
    if (needsUser || op == "user/refer")
        signedText = op == "ka/receive" ? field(request, "fid") + token : token;
    else if (op == "user/credentials")
        signedText = field(request, "username");
    else if (op == "user/reg")
        signedText = field(request, "username") + field(request, "nickname");
    else if (op == "user/weblm")
        signedText = field(request, "webauth") + field(request, "saltkey");
    else if (op == "ka/list" || op == "arc/tui")
        signedText = field(request, "type");
    else if (op == "ka/info" || op == "ka/check")
        signedText = field(request, "fid");
    else if (op == "ka/search")
        signedText = field(request, "wd");
    else if (op == "game/verup")
        signedText = field(request, "pagename") + field(request, "version");
    else if (op == "arc/lun")
        signedText = field(request, "typeid");
    if (!hasField(request, "actime")
        || field(request, "actoken") != md5Hex(m_options.appKey + signedText + field(request, "actime")))
        return failure(kBadSignature, "签名验证失败");

    long long t = now();
    auto listItem = [&](const Gift& g) {
        return json { { "fid", g.fid }, { "title", g.title }, { "status", g.statusAt(t) }, { "litpic", iconURL(g) },
            { "total", g.total }, { "send", g.send }, { "startime", g.startTime }, { "endtime", g.endTime },
            { "extcredits1", g.extcredits1 }, { "extcredits2", g.extcredits2 } };
    };
    auto paged = [&](size_t size) {
        long long count = number(request, "count", 20);
        long long pageNumber = number(request, "page", 1);
        count = std::clamp(count, 1LL, 50LL);
        pageNumber = std::max(pageNumber, 1LL);
        size_t begin = static_cast<size_t>(std::min<long long>((pageNumber - 1) * count, static_cast<long long>(size)));
        size_t end = std::min(size, begin + static_cast<size_t>(count));
        return std::pair { begin, end };
    };
    auto userBody = [&](const User& u) {
        return json { { "nickname", u.nickname }, { "usertoken", token }, { "uid", u.uid },
            { "extcredits1", u.extcredits1 }, { "extcredits2", u.extcredits2 }, { "avatar", avatarURL(u) },
            { "username", u.username } };
    };
    // The first sign-in of a day earns a small reward.
    auto reward = [&](User& u, json& body) {
        long long today = t / 86400;
        bool earned = u.lastRewardDay != today;
        if (earned) {
            u.lastRewardDay = today;
            u.extcredits1 += kRewardGold;
            u.extcredits2 += kRewardPoints;
        }
        body["extcredits1"] = u.extcredits1;
        body["extcredits2"] = u.extcredits2;
        body["updatecredit"] = earned;
        body["ext1"] = earned ? kRewardGold : 0;
        body["ext2"] = earned ? kRewardPoints : 0;
    };
    auto loginBody = [&](User& u) {
        token = newToken(u.uid);
        json body = userBody(u);
        body["nickName"] = u.nickname;
        body["expires"] = m_sessions[token].expires;
        body["expires_in"] = kTokenLifetime;
        reward(u, body);
        return body;
    };

    if (op == "user/info") {
        json body = userBody(*user);
        reward(*user, body);
        return success(body);
    }
    if (op == "user/credentials") {
        if (field(request, "grant_type") != "password")
            return failure(kFailed, "不支持的登录方式");
        for (auto& [uid, u] : m_users) {
            if (!u.username.empty() && u.username == field(request, "username") && u.password == field(request, "password"))
                return success(loginBody(u), "登录成功");
        }
        return failure(kFailed, "用户名或密码错误");
    }
    if (op == "user/reg") {
        std::string username = field(request, "username");
        std::string nickname = field(request, "nickname");
        std::string pwd = field(request, "pwd");
        size_t at = username.find('@');
        if (at == std::string::npos || at == 0 || username.find('.', at) == std::string::npos)
            return failure(kFailed, "请输入有效的邮箱地址");
        if (nickname.empty())
            return failure(kFailed, "请输入昵称");
        if (pwd.size() < 6)
            return failure(kFailed, "密码至少需要6位");
        if (pwd != field(request, "pwd2"))
            return failure(kFailed, "两次输入的密码不一致");
        for (auto& [uid, u] : m_users) {
            if (u.username == username)
                return failure(kFailed, "该邮箱已被注册");
            if (u.nickname == nickname)
                return failure(kFailed, "该昵称已被使用");
        }
        User* created = addUser(username, pwd, nickname, 20, 10);
        token = newToken(created->uid);
        json body { { "nickname", created->nickname }, { "extcredits1", created->extcredits1 },
            { "extcredits2", created->extcredits2 }, { "usertoken", token }, { "expires", m_sessions[token].expires },
            { "expires_in", kTokenLifetime }, { "uid", created->uid }, { "updatecredit", false }, { "ext1", 0 },
            { "ext2", 0 } };
        return success(body, "注册成功");
    }
    if (op == "user/weblm") {
        std::string webauth = field(request, "webauth");
        if (webauth.empty() || field(request, "saltkey").empty())
            return failure(kFailed, "论坛授权信息无效");
        // The credentials of a forum account sign that account in.
        for (auto& [uid, u] : m_users) {
            if (!u.password.empty() && forumCredentials(u.username) == std::pair { webauth, field(request, "saltkey") })
                return success(loginBody(u), "登录成功");
        }
        // Any other credential: an LM account new to the forum, one portal user per credential.
        std::string account = "lm:" + md5Hex(webauth).substr(0, 12);
        User* found = nullptr;
        for (auto& [uid, u] : m_users) {
            if (u.username == account)
                found = &u;
        }
        if (!found)
            found = addUser(account, std::string(), "LM玩家" + account.substr(3, 4), 20, 10);
        return success(loginBody(*found), "登录成功");
    }
    if (op == "user/logout") {
        m_sessions.erase(token);
        return success(json::object(), "已退出登录");
    }
    if (op == "zz")
        return failure(kFailed, "该接口已停用");
    if (op == "ka/list") {
        long long type = number(request, "type", -1);
        if (type < 0 || type > 2)
            return failure(kFailed, "分类不存在");
        std::vector<const Gift*> inCategory;
        for (auto& g : m_catalog->gifts) {
            if (g.category == type)
                inCategory.push_back(&g);
        }
        auto [begin, end] = paged(inCategory.size());
        json body = json::array();
        for (size_t i = begin; i < end; ++i)
            body.push_back(listItem(*inCategory[i]));
        return success(body);
    }
    if (op == "ka/info") {
        Gift* g = gift(static_cast<int>(number(request, "fid", 0)));
        if (!g)
            return failure(kFailed, "礼包不存在");
        json abouts = json::array();
        for (int fid : g->related) {
            if (Gift* r = gift(fid))
                abouts.push_back({ { "fid", r->fid }, { "title", r->title }, { "status", r->statusAt(t) } });
        }
        json body { { "fid", g->fid }, { "title", g->title }, { "arcurl", m_root + "gift/" + std::to_string(g->fid) + ".html" },
            { "desc", g->desc }, { "info", g->info }, { "startime", g->startTime }, { "endtime", g->endTime },
            { "draw", g->draw }, { "doom", g->doom }, { "status", g->statusAt(t) },
            { "type", g->type ? json(*g->type) : json(nullptr) }, { "extcredits1", g->extcredits1 },
            { "extcredits2", g->extcredits2 }, { "ext1", g->ext1 }, { "ext2", g->ext2 }, { "tao_ext1", g->taoExt1 },
            { "total", g->total }, { "send", g->send }, { "litpic", iconURL(*g) }, { "abouts", abouts } };
        return success(body);
    }
    if (op == "ka/receive") {
        Gift* g = gift(static_cast<int>(number(request, "fid", 0)));
        if (!g)
            return failure(kFailed, "礼包不存在");
        int status = g->statusAt(t);
        if (status == 0)
            return failure(kFailed, "礼包尚未开始领取，请先预约");
        if (status == 3)
            return failure(kFailed, "礼包活动已结束");
        auto& mine = m_obtained[user->uid];
        std::string code;
        int gold = 0;
        int points = 0;
        if (status == 2) {
            // Picking up a released code needs no captcha and costs nothing.
            if (g->releasedCodes.empty())
                return failure(kFailed, "暂时没有可淘的号，请稍后再试");
            code = g->releasedCodes.front();
            g->releasedCodes.erase(g->releasedCodes.begin());
        } else {
            auto captcha = m_captchas.find(field(request, "verifystr"));
            if (captcha == m_captchas.end() || captcha->second.uid != user->uid)
                return failure(kFailed, "验证码已失效，请刷新后重试");
            bool answered = captcha->second.answer == field(request, "verifyCode");
            m_captchas.erase(captcha); // one try per captcha
            if (!answered)
                return failure(kFailed, "验证码错误，请重新选择");
            int claimed = static_cast<int>(std::count_if(mine.begin(), mine.end(), [&](auto& o) { return o.fid == g->fid; }));
            if (claimed >= g->draw)
                return failure(kFailed, "您已经领取过该礼包");
            if (user->extcredits1 < g->extcredits1)
                return failure(kFailed, "您的金币不足");
            if (user->extcredits2 < g->extcredits2)
                return failure(kFailed, "您的萌点不足");
            gold = g->extcredits1;
            points = g->extcredits2;
            user->extcredits1 -= gold;
            user->extcredits2 -= points;
            code = newCode(g->fid);
            ++g->send;
        }
        mine.push_back({ g->fid, code, t });
        json body { { "fid", g->fid }, { "code", code }, { "status", g->statusAt(t) }, { "extcredits1", gold },
            { "extcredits2", points }, { "total", g->total }, { "send", g->send } };
        return success(body, "领取成功");
    }
    if (op == "ka/mine") {
        auto& mine = m_obtained[user->uid];
        auto [begin, end] = paged(mine.size());
        json body = json::array();
        for (size_t i = begin; i < end; ++i) {
            const Obtained& o = mine[mine.size() - 1 - i]; // newest first
            const Gift* g = gift(o.fid);
            body.push_back({ { "title", g->title }, { "startime", g->startTime }, { "endtime", g->endTime },
                { "fid", g->fid }, { "code", o.code }, { "type", g->type ? json(*g->type) : json(nullptr) },
                { "extcredits1", g->extcredits1 }, { "extcredits2", g->extcredits2 }, { "litpic", iconURL(*g) } });
        }
        return success(body);
    }
    if (op == "ka/check") {
        Gift* g = gift(static_cast<int>(number(request, "fid", 0)));
        if (!g)
            return failure(kFailed, "礼包不存在");
        json body = json::array();
        body.push_back({ { "fid", g->fid }, { "status", g->statusAt(t) }, { "startTime", g->startTime },
            { "endTime", g->endTime } });
        return success(body);
    }
    if (op == "ka/search") {
        std::string word = field(request, "wd");
        std::vector<const Gift*> found;
        for (auto& g : m_catalog->gifts) {
            if (!word.empty() && (g.title.find(word) != std::string::npos || (g.type && g.type->find(word) != std::string::npos)))
                found.push_back(&g);
        }
        if (found.empty()) {
            json none = nullptr;
            return reply(0, "没有找到相关礼包", &none);
        }
        auto [begin, end] = paged(found.size());
        json body = json::array();
        for (size_t i = begin; i < end; ++i) {
            const Gift& g = *found[i];
            body.push_back({ { "fid", g.fid }, { "title", g.title }, { "status", g.statusAt(t) }, { "litpic", iconURL(g) },
                { "total", g.total }, { "send", g.send }, { "startTime", g.startTime }, { "endTime", g.endTime },
                { "extcredits1", g.extcredits1 }, { "extcredits2", g.extcredits2 }, { "tao_ext1", g.taoExt1 } });
        }
        return success(body);
    }
    if (op == "arc/tui") {
        json body = json::array();
        for (auto& w : m_catalog->hotWords)
            body.push_back({ { "arcid", w.arcid }, { "type", number(request, "type", 1) }, { "title", w.title } });
        return success(body);
    }
    if (op == "game/verup") {
        std::string version = field(request, "version");
        bool newer = olderVersion(version, m_options.latestVersion);
        json body { { "pagename", field(request, "pagename") }, { "versionname", m_options.latestVersion + " 新春版" },
            { "version", m_options.latestVersion }, { "title", "发现新版本" }, { "pubdate", t - 86400 },
            { "downurl", m_root + "download/quorvane-" + m_options.latestVersion + ".plist" }, { "size", 18432000 },
            { "litpic", m_root + "img/banner/0.png" }, { "info", "新增礼包提醒，修复已知问题。" }, { "status", newer ? 1 : 0 } };
        return success(body);
    }
    if (op == "arc/lun") {
        json body = json::array();
        if (field(request, "typeid") == "ka") {
            int n = 0;
            for (auto& entry : m_catalog->carousel) {
                body.push_back({ { "pubdate", entry.pubdate }, { "title", entry.title }, { "arcid", entry.fid },
                    { "litpic", m_root + "img/banner/" + std::to_string(n++) + ".png" },
                    { "arcurl", m_root + "gift/" + std::to_string(entry.fid) + ".html" }, { "type", 1 } });
            }
        }
        return success(body);
    }
    if (op == "ka/capth") {
        Captcha c;
        c.uid = user->uid;
        std::vector<std::string> pool = kCaptchaWords;
        std::shuffle(pool.begin(), pool.end(), m_random);
        for (size_t i = 0; i < 9; ++i)
            c.words[i] = pool[i];
        std::vector<size_t> order { 0, 1, 2, 3, 4, 5, 6, 7, 8 };
        std::shuffle(order.begin(), order.end(), m_random);
        for (size_t i = 0; i < 4; ++i) {
            c.answerWords.push_back(c.words[order[i]]);
            c.answer += c.words[order[i]];
        }
        c.seed = static_cast<int>(m_random() % 1000);
        std::string id = md5Hex(newCode(0) + std::to_string(m_random())).substr(0, 16);
        if (m_captchas.size() >= kCaptchasKept)
            m_captchas.erase(m_captchas.begin());
        std::string verikey;
        for (auto& w : c.words)
            verikey += (verikey.empty() ? "" : "|") + w;
        m_captchas[id] = std::move(c);
        json body { { "verifystr", id }, { "verikey", verikey }, { "url", m_root + "img/captcha/" + id + ".png" } };
        return success(body);
    }
    // "user/refer": the feedback page, as the signed-in user when the token is good.
    std::string greeting = user ? "<p>当前用户：" + htmlEscape(user->nickname) + "</p>" : "<p>您尚未登录，登录后可查看反馈记录。</p>";
    std::string refurl = field(request, "refurl");
    // What the page received, so that a person (or a test) can see what the app sent.
    std::string received = "<ul id=\"received\"><li>query: " + htmlEscape(request.query) + "</li><li>Authorization: "
        + (request.authorization ? htmlEscape(*request.authorization) : std::string("(none)")) + "</li>";
    for (const auto& [name, value] : request.form)
        received += "<li>" + htmlEscape(name) + " = " + htmlEscape(value) + "</li>";
    received += "</ul>";
    return { 200, "text/html; charset=utf-8",
        htmlPage("意见反馈", "<h1>意见反馈</h1>" + greeting + "<p>有任何问题或建议，欢迎到论坛版块留言。</p><p><a href=\""
                + htmlEscape(refurl) + "\">进入论坛版块</a></p><h2>收到的内容</h2>" + received) };
}

std::optional<std::vector<unsigned char>> PortalService::image(const std::string& path)
{
    auto numberIn = [&](const std::string& prefix) -> std::optional<int> {
        if (path.rfind(prefix, 0) != 0 || path.size() < prefix.size() + 5 || path.substr(path.size() - 4) != ".png")
            return std::nullopt;
        std::string digits = path.substr(prefix.size(), path.size() - prefix.size() - 4);
        if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        return std::stoi(digits);
    };
    std::lock_guard lock(m_mutex);
    if (auto fid = numberIn("icon/")) {
        if (Gift* g = gift(*fid))
            return PortalImages::icon(g->game, g->fid);
        return std::nullopt;
    }
    if (auto n = numberIn("banner/")) {
        if (static_cast<size_t>(*n) < m_catalog->carousel.size())
            return PortalImages::banner(m_catalog->carousel[static_cast<size_t>(*n)].title, *n);
        return std::nullopt;
    }
    if (auto uid = numberIn("avatar/")) {
        auto u = m_users.find(*uid);
        if (u != m_users.end())
            return PortalImages::avatar(u->second.nickname, *uid);
        return std::nullopt;
    }
    const std::string captchaPrefix = "captcha/";
    if (path.rfind(captchaPrefix, 0) == 0 && path.size() > captchaPrefix.size() + 4) {
        std::string id = path.substr(captchaPrefix.size(), path.size() - captchaPrefix.size() - 4);
        auto c = m_captchas.find(id);
        if (c != m_captchas.end() && path.substr(path.size() - 4) == ".png")
            return PortalImages::captcha(c->second.answerWords, c->second.words, c->second.seed);
    }
    return std::nullopt;
}

std::optional<std::string> PortalService::page(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    if (path == "forum-2508-1.html") {
        std::string list;
        for (auto& g : m_catalog->gifts) {
            if (g.category == 0)
                list += "<li><a href=\"" + m_root + "gift/" + std::to_string(g.fid) + ".html\">" + htmlEscape(g.title) + "</a></li>";
        }
        return htmlPage("礼包交流区", "<h1>礼包交流区</h1><ul>" + list + "</ul>");
    }
    const std::string giftPrefix = "gift/";
    if (path.rfind(giftPrefix, 0) == 0 && path.size() > giftPrefix.size() + 5 && path.substr(path.size() - 5) == ".html") {
        std::string digits = path.substr(giftPrefix.size(), path.size() - giftPrefix.size() - 5);
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        if (Gift* g = gift(std::stoi(digits))) {
            return htmlPage(g->title, "<h1>" + htmlEscape(g->title) + "</h1><img src=\"" + iconURL(*g) + "\"><p>"
                    + htmlEscape(g->info) + "</p><p>" + htmlEscape(g->desc) + "</p>");
        }
    }
    return std::nullopt;
}

std::string PortalService::forumConnectPage(const std::map<std::string, std::string>& query)
{
    auto value = [&](const char* key) {
        auto it = query.find(key);
        return it == query.end() ? std::string() : it->second;
    };
    std::string notice;
    if (value("op") == "auth") {
        std::lock_guard lock(m_mutex);
        for (const auto& [uid, u] : m_users) {
            if (u.password.empty() || u.username != value("username") || u.password != value("password"))
                continue;
            auto [webauth, saltkey] = forumCredentials(u.username);
            return htmlPage("LM帐号登录",
                "<h1>LM帐号登录</h1><p>" + htmlEscape(u.nickname) + "，您已登录论坛。</p>" + forumAnswerScript(webauth, saltkey));
        }
        notice = "<p>帐号或密码错误</p>";
    }
    // Not signed in: the handler is there, but has nothing to answer with.
    return htmlPage("LM帐号登录",
        "<h1>LM帐号登录</h1>" + notice
            + "<script>window.onPageBridgeReady = function (bridge) { bridge.registerHandler(\"lmLogin\", function () { }); };</script>"
            + "<form action=\"/connect.php\" method=\"get\"><input type=\"hidden\" name=\"mod\" value=\"login\">"
              "<input type=\"hidden\" name=\"op\" value=\"auth\"><input name=\"username\" placeholder=\"LM帐号\">"
              "<input type=\"password\" name=\"password\" placeholder=\"密码\"><input type=\"submit\" value=\"登录\"></form>");
}

std::pair<std::string, std::string> PortalService::forumCredentials(const std::string& username) const
{
    // Shaped like a forum's cookie values: "/", "+", "=" and "%" included, so that a client
    // that does not escape them is found out.
    std::string digest = md5Hex(m_options.appKey + "/forum/" + username);
    return { username + "/" + digest.substr(0, 12) + "+==", "k%" + digest.substr(12, 8) };
}

void PortalService::editCatalog(const std::function<void(PortalCatalog&)>& edit)
{
    std::lock_guard lock(m_mutex);
    edit(*m_catalog);
}

std::optional<std::string> PortalService::answerOfCaptcha(const std::string& verifystr) const
{
    std::lock_guard lock(m_mutex);
    auto c = m_captchas.find(verifystr);
    if (c == m_captchas.end())
        return std::nullopt;
    return c->second.answer;
}

}
