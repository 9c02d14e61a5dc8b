#pragma once

#include <memory>
#include <string>
#include <vector>

// The portal credentials and addresses of this deployment, read once from the bundle's
// "AppInfoConfiguration" property list:
//
//   "app_key"        the signing key at the head of every request signature
//   "open_id"        the client identifier sent as "openid"
//   "api_base_url"   the portal API's base address, ending in "/" (operation paths follow it)
//   "forum_base_url" the forum's base address, ending in "/" (its board page follows it)
//   "home_page_url"  the portal's mobile home page (where a Blip authorisation returns to)
//
// The portal's mobile site, forum and gift site are the hosts of the home page, the forum and
// the API, in that order (`cookieHosts`).
//
// Rules:
// - Read on first use and kept for the life of the process; a missing list or key leaves the
//   value empty, and an empty value counts as absent everywhere (no "openid" is sent, no
//   operation has an address).
// - The setters exist for start-up code and tests that point the client at another portal.
class AppInfoConfiguration {
public:
    static std::shared_ptr<AppInfoConfiguration> sharedInstance();

    // Reads the property list again, replacing every value (a missing key empties its value).
    void readAppConfigurationFromPlistFie();

    const std::string& appKey() const { return m_appKey; }
    void setAppKey(std::string v) { m_appKey = std::move(v); }
    const std::string& openID() const { return m_openID; }
    void setOpenID(std::string v) { m_openID = std::move(v); }
    const std::string& apiBaseURL() const { return m_apiBaseURL; }
    void setApiBaseURL(std::string v) { m_apiBaseURL = std::move(v); }
    const std::string& forumBaseURL() const { return m_forumBaseURL; }
    void setForumBaseURL(std::string v) { m_forumBaseURL = std::move(v); }
    const std::string& homePageURL() const { return m_homePageURL; }
    void setHomePageURL(std::string v) { m_homePageURL = std::move(v); }

    // The hosts of the mobile site, the forum and the gift site; a value without a host gives
    // none, so the list may be shorter.
    std::vector<std::string> cookieHosts() const;

private:
    std::string m_appKey;
    std::string m_openID;
    std::string m_apiBaseURL;
    std::string m_forumBaseURL;
    std::string m_homePageURL;
};
