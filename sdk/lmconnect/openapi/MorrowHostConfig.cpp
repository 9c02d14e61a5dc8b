#include "sdk/lmconnect/openapi/MorrowHostConfig.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Url.h"

namespace {

constexpr const char* kOpenApi = "open_api_base";
constexpr const char* kCgi = "cgi_base";
constexpr const char* kUpdateCheck = "update_check_base";
constexpr const char* kPresence = "presence_base";
constexpr const char* kWeb = "web_base";

std::string withSlash(std::string base)
{
    if (!base.empty() && base.back() != '/')
        base += '/';
    return base;
}

}

MorrowHostConfig& MorrowHostConfig::shared()
{
    // Never destroyed: the update check's queue reads it while the process ends.
    static auto& config = *new MorrowHostConfig;
    return config;
}

MorrowHostConfig::MorrowHostConfig()
    : m_hosts({
          { kOpenApi, {}, kPeersOpenApiPrefix },
          { kCgi, {}, kPeersCgiPrefix },
          { kUpdateCheck, {}, "" },
          { kPresence, {}, kPeersPresencePrefix },
          { kWeb, {}, kPeersWebPrefix },
      })
{
    reload();
    pf::ResetRegistry::add([this] { reload(); });
}

void MorrowHostConfig::reload()
{
    pf::Value list;
    if (auto main = pf::Bundle::main()) {
        if (auto bundle = main->nestedBundle(kBundleName))
            list = bundle->propertyListResource(kListName).value_or(pf::Value());
    }
    for (const char* key : { kOpenApi, kCgi, kUpdateCheck, kPresence, kWeb }) {
        const std::string* text = list[key].asString();
        m_hosts.setDefaultAddress(key, withSlash(text ? *text : std::string()));
    }
}

std::string MorrowHostConfig::openApiBase() const { return m_hosts.address(kOpenApi); }
void MorrowHostConfig::setOpenApiBase(std::string base) { m_hosts.setAddress(kOpenApi, withSlash(std::move(base))); }
std::string MorrowHostConfig::cgiBase() const { return m_hosts.address(kCgi); }
void MorrowHostConfig::setCgiBase(std::string base) { m_hosts.setAddress(kCgi, withSlash(std::move(base))); }
std::string MorrowHostConfig::updateCheckBase() const { return m_hosts.address(kUpdateCheck); }
void MorrowHostConfig::setUpdateCheckBase(std::string base) { m_hosts.setAddress(kUpdateCheck, withSlash(std::move(base))); }
std::string MorrowHostConfig::presenceBase() const { return m_hosts.address(kPresence); }
void MorrowHostConfig::setPresenceBase(std::string base) { m_hosts.setAddress(kPresence, withSlash(std::move(base))); }
std::string MorrowHostConfig::webBase() const { return m_hosts.address(kWeb); }
void MorrowHostConfig::setWebBase(std::string base) { m_hosts.setAddress(kWeb, withSlash(std::move(base))); }

std::string MorrowHostConfig::webHost() const
{
    auto url = pf::Url::fromString(webBase());
    return url ? url->host() : std::string();
}
