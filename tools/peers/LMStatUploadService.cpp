#include "tools/peers/LMStatUploadService.h"

#include "platform/foundation/Gzip.h"

#include <cstring>

namespace peers {

namespace {

std::optional<std::string> gunzip(const std::string& body)
{
    if (body.empty())
        return std::nullopt;
    auto inflated = pf::Gzip::decompress(pf::Bytes(body.begin(), body.end()), 64u << 20);
    if (!inflated)
        return std::nullopt;
    return std::string(inflated->begin(), inflated->end());
}

}

void LMStatUploadService::rc4(std::string& data)
{
    unsigned char s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<unsigned char>(i);
    const size_t keyLength = std::strlen(kKey);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + static_cast<unsigned char>(kKey[i % keyLength])) & 0xff;
        std::swap(s[i], s[j]);
    }
    int i = 0, j = 0;
    for (auto& c : data) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        c = static_cast<char>(static_cast<unsigned char>(c) ^ s[(s[i] + s[j]) & 0xff]);
    }
}

std::optional<PeerReply> LMStatUploadService::handle(const PeerRequest& request)
{
    if (request.path != std::string(kPrefix) + "sdk" || request.method != "POST")
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    auto refuse = [&](std::string why) {
        m_refusals.push_back(why);
        return PeerReply::bytes(why, "text/plain", 400);
    };
    std::string body = request.body;
    rc4(body);
    auto encoding = request.header("Content-Encoding").value_or("");
    std::string json;
    if (encoding == "rc4") {
        json = body;
    } else if (encoding == "rc4,gzip") {
        if (body.size() < 4)
            return refuse("short body");
        auto b = [&](size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(body[i])); };
        std::uint32_t length = b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
        auto inflated = gunzip(body.substr(4));
        if (!inflated || inflated->size() != length)
            return refuse("bad gzip or length");
        json = *inflated;
    } else {
        return refuse("unknown encoding " + encoding);
    }
    auto parsed = nlohmann::json::parse(json, nullptr, false);
    if (!parsed.is_array())
        return refuse("not a JSON array");
    m_uploads.push_back(parsed);

    PeerReply reply;
    reply.status = m_answer.status;
    reply.delaySeconds = m_answer.delaySeconds;
    reply.contentType = "application/json";
    if (m_answer.cfg)
        reply.body = nlohmann::json { { "cfg", *m_answer.cfg } }.dump();
    std::string replyEncoding = m_answer.encoding;
    if (m_answer.encipher) {
        rc4(reply.body);
        if (replyEncoding.empty())
            replyEncoding = "rc4";
    }
    if (!replyEncoding.empty())
        reply.headers.emplace_back("Content-Encoding", replyEncoding);
    return reply;
}

void LMStatUploadService::setAnswer(Answer answer)
{
    std::lock_guard lock(m_mutex);
    m_answer = std::move(answer);
}

std::vector<nlohmann::json> LMStatUploadService::uploads() const
{
    std::lock_guard lock(m_mutex);
    return m_uploads;
}

std::vector<std::string> LMStatUploadService::refusals() const
{
    std::lock_guard lock(m_mutex);
    return m_refusals;
}

}
