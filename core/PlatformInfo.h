#pragma once

#include <memory>
#include <string>

// The application identifiers of the statistics service and the sharing vendors, read once
// from the bundle's "PlatformInfo" property list ("TalmerinMobStatAppKey", "ParleyAppID",
// "LZoneAppID", "BlipAppKey", "IsForAppStore"). A missing list or key leaves a text empty and
// the flag false; "IsForAppStore" may be a boolean, a number or a text such as "YES".
class PlatformInfo {
public:
    static std::shared_ptr<PlatformInfo> sharedInstance();

    void readPlatformInfoFromPlistFie();

    const std::string& talmerinMobStatAppKey() const { return m_talmerinMobStatAppKey; }
    void setTalmerinMobStatAppKey(std::string v) { m_talmerinMobStatAppKey = std::move(v); }
    const std::string& parleyAppID() const { return m_parleyAppID; }
    void setParleyAppID(std::string v) { m_parleyAppID = std::move(v); }
    const std::string& lZoneAppID() const { return m_lZoneAppID; }
    void setLZoneAppID(std::string v) { m_lZoneAppID = std::move(v); }
    const std::string& blipAppKey() const { return m_blipAppKey; }
    void setBlipAppKey(std::string v) { m_blipAppKey = std::move(v); }
    bool isForAppStore() const { return m_isForAppStore; }
    void setIsForAppStore(bool v) { m_isForAppStore = v; }

private:
    std::string m_talmerinMobStatAppKey;
    std::string m_parleyAppID;
    std::string m_lZoneAppID;
    std::string m_blipAppKey;
    bool m_isForAppStore { false };
};
