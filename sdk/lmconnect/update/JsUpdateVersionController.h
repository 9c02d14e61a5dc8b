#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the installed scripts are: version state in the standard user defaults and the file
// list of the installed folder.
//
// User defaults: "latest_js_version" (text), "is_js_updated" (YES once a folder is installed),
// "update_frequency" (minutes; 0 or missing reads as 30 for the timer) and "last_update_time"
// (set only when a downloaded update is installed; clearing the state keeps it).
class JsUpdateVersionController {
public:
    static constexpr const char* kVersionKey = "latest_js_version";
    static constexpr const char* kUpdatedKey = "is_js_updated";
    static constexpr const char* kFrequencyKey = "update_frequency";
    static constexpr const char* kLastUpdateKey = "last_update_time";
    static constexpr long long kDefaultFrequency = 30;
    // The period an archive may ask for is kept within these (minutes): the update answer is
    // not signed, so it must neither hammer the server nor stop the updates for good.
    static constexpr long long kMinFrequency = 5;
    static constexpr long long kMaxFrequency = 24 * 60;
    static constexpr long long kMaxVersion = 0x7fffffff;

    struct JsUpdateVersionInfo {
        bool isUpdated { false };
        std::vector<std::string> files; // full paths, "init.js" first
        std::string folder;
    };

    explicit JsUpdateVersionController(std::string localJsFolderPath);

    bool isUpdated() const;
    std::string latestVersion() const;
    long long getFrequency() const;
    std::optional<double> getLastUpdateTime() const;
    // The installed version for the scripts; empty when none.
    static std::string getVersion();

    // A version as an archive's "config.json" or the stored state give it: a whole number from 1
    // to kMaxVersion, else none.
    static std::optional<long long> versionNumber(const pf::Value& version);
    // A period within the bounds; 0 (none: the timer takes kDefaultFrequency) when not positive.
    static long long boundedFrequency(long long minutes);

    // The frequency is bounded before it is stored.
    void setVersionInfo(const std::string& version, long long frequency, bool updateTime);
    void clearVersionInfo();
    // The timer's period in minutes.
    long long getFinalFrequency() const;
    // Minutes before the first run: 0 without a last update, else what is left of the stored
    // frequency since it, in whole minutes (never more than the frequency).
    long long getTimerDelay() const;

    // The files "verify.json" of the installed folder names, "init.js" first, the others in the
    // list's order; names that would leave the folder are dropped.
    std::vector<std::string> getFinalJsPaths() const;
    std::optional<JsUpdateVersionInfo> getJsInfo() const;

    const std::string& localJsFolderPath() const { return m_folder; }

private:
    std::string m_folder;
};
