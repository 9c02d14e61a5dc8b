#include "tools/peers/StatsService.h"

#include "platform/foundation/Gzip.h"
#include "platform/foundation/Json.h"

namespace peers {

namespace {

constexpr std::size_t kMaxInflated = 16u << 20;

std::optional<std::string> gunzip(const std::string& body)
{
    if (body.empty())
        return std::nullopt;
    auto inflated = pf::Gzip::decompress(pf::Bytes(body.begin(), body.end()), kMaxInflated);
    if (!inflated)
        return std::nullopt;
    return std::string(inflated->begin(), inflated->end());
}

}

std::optional<PeerReply> StatsService::handle(const PeerRequest& request)
{
    if (request.path != "/stats/app.gif" || request.method != "POST")
        return std::nullopt;
    Upload upload;
    upload.raw = request.body;
    if (auto text = gunzip(request.body)) {
        auto parsed = pf::Json::parse(*text);
        if (parsed && parsed->isDictionary()) {
            upload.valid = true;
            upload.body = std::move(*parsed);
        }
    }
    bool valid = upload.valid;
    {
        std::lock_guard lock(m_mutex);
        m_uploads.push_back(std::move(upload));
    }
    if (!valid)
        return PeerReply::bytes("not a gzip JSON log", "text/plain", 400);
    return PeerReply::bytes("GIF89a", "image/gif");
}

std::vector<StatsService::Upload> StatsService::uploads() const
{
    std::lock_guard lock(m_mutex);
    return m_uploads;
}

std::vector<pf::Value> StatsService::logs() const
{
    std::lock_guard lock(m_mutex);
    std::vector<pf::Value> logs;
    for (const auto& upload : m_uploads) {
        if (upload.valid)
            logs.push_back(upload.body);
    }
    return logs;
}

void StatsService::clear()
{
    std::lock_guard lock(m_mutex);
    m_uploads.clear();
}

}
