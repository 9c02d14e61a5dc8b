#include "sdk/lmconnect/openapi/MorrowHostConfig.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Url.h"

namespace {

std::string withSlash(std::string base)
{
    if (!base.empty() && base.back() != '/')
        base += '/';
    return base;
}

}

MorrowHostConfig& MorrowHostConfig::shared()
{
    static MorrowHostConfig config;
    return config;
}

MorrowHostConfig::MorrowHostConfig()
{
    reload();
}

void MorrowHostConfig::reload()
{
    pf::Value list;
    if (auto main = pf::Bundle::main()) {
        if (auto bundle = main->nestedBundle(kBundleName))
            list = bundle->propertyListResource(kListName).value_or(pf::Value());
    }
    auto textOf = [&](const char* key) {
        const std::string* text = list[key].asString();
        return text ? *text : std::string();
    };
    setOpenApiBase(textOf("open_api_base"));
    setCgiBase(textOf("cgi_base"));
    setUpdateCheckBase(textOf("update_check_base"));
    setPresenceBase(textOf("presence_base"));
    setWebBase(textOf("web_base"));
}

void MorrowHostConfig::pointAt(const std::string& peersRoot)
{
    std::string root = withSlash(peersRoot);
    setOpenApiBase(root + kPeersOpenApiPrefix);
    setCgiBase(root + kPeersCgiPrefix);
    setUpdateCheckBase(root);
    setPresenceBase(root + kPeersPresencePrefix);
    setWebBase(root + kPeersWebPrefix);
}

void MorrowHostConfig::setOpenApiBase(std::string base)
{
    m_openApiBase = withSlash(std::move(base));
}

void MorrowHostConfig::setCgiBase(std::string base)
{
    m_cgiBase = withSlash(std::move(base));
}

void MorrowHostConfig::setUpdateCheckBase(std::string base)
{
    m_updateCheckBase = withSlash(std::move(base));
}

void MorrowHostConfig::setPresenceBase(std::string base)
{
    m_presenceBase = withSlash(std::move(base));
}

void MorrowHostConfig::setWebBase(std::string base)
{
    m_webBase = withSlash(std::move(base));
}

std::string MorrowHostConfig::webHost() const
{
    auto url = pf::Url::fromString(m_webBase);
    return url ? url->host() : std::string();
}
