#include "tools/peers/LMPreviewService.h"

#include <cstdlib>

namespace peers {

namespace {

// A 1 by 1 PNG.
const unsigned char kDefaultPng[] = { 0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00,
    0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0x64, 0x60, 0xF8, 0x5F, 0x0F, 0x00, 0x02, 0x87, 0x01, 0x80, 0xEB, 0x47, 0xBA,
    0x92, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82 };

}

void LMPreviewService::putPicture(const std::string& name, std::string bytes, std::string contentType)
{
    std::lock_guard lock(m_mutex);
    m_pictures[name] = { std::move(bytes), std::move(contentType) };
}

std::optional<PeerReply> LMPreviewService::handle(const PeerRequest& request)
{
    std::string name = request.path.substr(prefix().size());
    std::optional<PeerReply> reply;
    if (name == "default.png") {
        reply = PeerReply::bytes(std::string(reinterpret_cast<const char*>(kDefaultPng), sizeof kDefaultPng), "image/png");
    } else {
        std::lock_guard lock(m_mutex);
        auto it = m_pictures.find(name);
        if (it == m_pictures.end())
            return std::nullopt;
        reply = PeerReply::bytes(it->second.first, it->second.second);
    }
    if (auto delay = request.queryValue("delay"))
        reply->delaySeconds = std::atof(delay->c_str());
    return reply;
}

}
