#pragma once

#include <memory>
#include <string>

// Where LM Connect's servers are: one property list, "MorrowHosts.plist" in the resource bundle
// "MorrowOpenApi_IOS_Bundle.bundle". The shipped values are https addresses, whose certificates
// the platform's HTTP layer checks; tests and the simulator point every address at the local
// vendor-services server with `pointAt`.
//
// Rules:
// - Every address ends in "/" (one is added when the list leaves it out), so a path is appended
//   as it is.
// - A missing list or key leaves that address empty: requests to it fail as bad addresses.
// - Main thread only.
class MorrowHostConfig {
public:
    static constexpr const char* kBundleName = "MorrowOpenApi_IOS_Bundle.bundle";
    static constexpr const char* kListName = "MorrowHosts";
    // The path prefixes of the vendor-services server.
    static constexpr const char* kPeersOpenApiPrefix = "lmopenapi/";
    static constexpr const char* kPeersCgiPrefix = "lmcgi/";
    static constexpr const char* kPeersPresencePrefix = "lmpresence/";
    static constexpr const char* kPeersWebPrefix = "lmweb/";

    static MorrowHostConfig& shared();

    // Reads the list again (a test's fresh bundle).
    void reload();
    // Every address under the local server's root ("http://127.0.0.1:PORT/").
    void pointAt(const std::string& peersRoot);

    // The Open API base: an Open API method or "oauth2.0/..." path follows it.
    const std::string& openApiBase() const { return m_openApiBase; }
    void setOpenApiBase(std::string base);
    // The connect CGI host: a CGI request type's path follows it.
    const std::string& cgiBase() const { return m_cgiBase; }
    void setCgiBase(std::string base);
    // The script-update host: "pub/check_bizup" follows it.
    const std::string& updateCheckBase() const { return m_updateCheckBase; }
    void setUpdateCheckBase(std::string base);
    // The LM presence host: "getonline?..." follows it.
    const std::string& presenceBase() const { return m_presenceBase; }
    void setPresenceBase(std::string base);
    // The root of the vendor's web pages (the local pages' base address, the page that takes
    // the session's "encrytoken"); its host is the one the network watch asks about.
    const std::string& webBase() const { return m_webBase; }
    void setWebBase(std::string base);
    std::string webHost() const;

private:
    MorrowHostConfig();

    std::string m_openApiBase;
    std::string m_cgiBase;
    std::string m_updateCheckBase;
    std::string m_presenceBase;
    std::string m_webBase;
};
