#pragma once

#include "platform/foundation/HostTable.h"

#include <memory>
#include <string>

// Where LM Connect's servers are: its `pf::HostTable`, whose defaults are one property list,
// "MorrowHosts.plist" in the resource bundle "MorrowOpenApi_IOS_Bundle.bundle". The shipped
// values are https addresses, whose certificates the platform's HTTP layer checks; tests and the
// simulator point every address at the local vendor-services server with
// `pf::HostTable::pointAllAt`.
//
// Rules:
// - Every address ends in "/" (one is added when the list or a setter leaves it out), so a path
//   is appended as it is.
// - A missing list or key leaves that address empty: requests to it fail as bad addresses.
// - A new launch reads the list again and forgets the addresses set.
class MorrowHostConfig {
public:
    static constexpr const char* kBundleName = "MorrowOpenApi_IOS_Bundle.bundle";
    static constexpr const char* kListName = "MorrowHosts";
    // The paths of the hosts under the vendor-services server.
    static constexpr const char* kPeersOpenApiPrefix = "lmopenapi/";
    static constexpr const char* kPeersCgiPrefix = "lmcgi/";
    static constexpr const char* kPeersPresencePrefix = "lmpresence/";
    static constexpr const char* kPeersWebPrefix = "lmweb/";

    static MorrowHostConfig& shared();

    // The Open API base: an Open API method or "oauth2.0/..." path follows it.
    std::string openApiBase() const;
    void setOpenApiBase(std::string base);
    // The connect CGI host: a CGI request type's path follows it.
    std::string cgiBase() const;
    void setCgiBase(std::string base);
    // The script-update host: "pub/check_bizup" follows it.
    std::string updateCheckBase() const;
    void setUpdateCheckBase(std::string base);
    // The LM presence host: "getonline?..." follows it.
    std::string presenceBase() const;
    void setPresenceBase(std::string base);
    // The root of the vendor's web pages (the local pages' base address, the page that takes
    // the session's "encrytoken"); its host is the one the network watch asks about.
    std::string webBase() const;
    void setWebBase(std::string base);
    std::string webHost() const;

private:
    MorrowHostConfig();
    // Reads the list again: at each new launch, as the bundle may be a fresh one.
    void reload();

    pf::HostTable m_hosts;
};
