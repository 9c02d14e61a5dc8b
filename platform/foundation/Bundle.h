#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {

// A folder of resources with an information dictionary ("Info.plist" at its top, XML or
// binary). The app's main bundle is app/resources/ in the source tree unless the environment
// variable QUORVANE_RESOURCES or `setMain` says otherwise. Nested resource bundles are folders
// named "<name>.bundle" inside a bundle.
//
// Rules:
// - Resource names never leave the bundle: a name or type holding "/.." or starting with "/" is
//   not found. A subdirectory may be given separately.
// - `pathForResource` finds regular files and folders (a nested bundle is a folder).
// - A missing or malformed Info.plist reads as an empty dictionary.
class Bundle {
public:
    static std::shared_ptr<Bundle> main();
    static void setMain(std::shared_ptr<Bundle> bundle);
    static std::string defaultMainPath();
    // nullptr when the folder does not exist.
    static std::shared_ptr<Bundle> atPath(const std::string& path);

    const std::string& bundlePath() const { return m_path; }
    const std::string& resourcePath() const { return m_path; }

    // Info dictionary.
    const Value& infoDictionary() const { return m_info; }
    const Value& objectForInfoDictionaryKey(const std::string& key) const { return m_info[key]; }
    std::string bundleIdentifier() const;       // "CFBundleIdentifier"
    std::string displayName() const;            // "CFBundleDisplayName", else "CFBundleName"
    std::string version() const;                // "CFBundleVersion"
    std::string shortVersion() const;           // "CFBundleShortVersionString"
    // The schemes of every entry of "CFBundleURLTypes" (skipping malformed entries), in order.
    std::vector<std::string> urlSchemes() const;
    // Replaces one key of the info dictionary in memory (tests and the simulator).
    void setInfoValue(const std::string& key, Value value);

    // Resources. `type` is the extension without the dot ("png"); empty means `name` is the
    // whole file name.
    std::optional<std::string> pathForResource(const std::string& name, const std::string& type = {},
        const std::string& subdirectory = {}) const;
    std::vector<std::string> pathsForResources(const std::string& type, const std::string& subdirectory = {}) const;
    std::optional<Bytes> dataForResource(const std::string& name, const std::string& type = {}) const;
    // A property-list resource ("AppInfoConfiguration" finds AppInfoConfiguration.plist).
    std::optional<Value> propertyListResource(const std::string& name) const;
    // A nested bundle: "<name>.bundle" inside this one (the name may include ".bundle").
    std::shared_ptr<Bundle> nestedBundle(const std::string& name) const;

private:
    explicit Bundle(std::string path);

    std::string m_path;
    Value m_info;
};

}
