#include "tools/peers/StatsService.h"

#include "platform/foundation/Json.h"

#include <zlib.h>

namespace peers {

namespace {

constexpr std::size_t kMaxInflated = 16u << 20;

std::optional<std::string> gunzip(const std::string& body)
{
    if (body.empty())
        return std::nullopt;
    z_stream stream {};
    if (inflateInit2(&stream, 31) != Z_OK)
        return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
    stream.avail_in = static_cast<uInt>(body.size());
    std::string out;
    char chunk[16384];
    int status = Z_OK;
    while (status == Z_OK && out.size() <= kMaxInflated) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - stream.avail_out);
        if (status == Z_OK && stream.avail_in == 0 && stream.avail_out != 0)
            break;
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END || out.size() > kMaxInflated)
        return std::nullopt;
    return out;
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
