#include "tools/peers/LMScriptUpdateService.h"

#include <nlohmann/json.hpp>

#include <cstdlib>

namespace peers {

std::string LMScriptUpdateService::archivePath(int version)
{
    return std::string(kPrefix) + "archives/js-" + std::to_string(version) + ".zip";
}

void LMScriptUpdateService::publish(int version, std::string archive)
{
    m_version = version;
    m_archive = std::move(archive);
}

void LMScriptUpdateService::withdraw()
{
    m_version = 0;
    m_archive.clear();
}

void LMScriptUpdateService::setDownloadURL(std::optional<std::string> url)
{
    m_downloadURL = std::move(url);
}

std::optional<PeerReply> LMScriptUpdateService::handle(const PeerRequest& request)
{
    if (request.path == std::string(kPrefix) + "check_bizup") {
        int asked = std::atoi(request.queryValue("hver").value_or("0").c_str());
        nlohmann::json reply = { { "type", 0 } };
        if (m_version > 0 && m_version > asked)
            reply = { { "type", 1 }, { "url", m_downloadURL.value_or(rootURL() + archivePath(m_version).substr(1)) } };
        return PeerReply::json(reply.dump());
    }
    if (m_version > 0 && request.path == archivePath(m_version))
        return PeerReply::bytes(m_archive, "application/zip");
    return std::nullopt;
}

}
