#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace scriptbundle {

// Makes script archives: "config.json" ({"version", "frequency"}) at the top and a folder "js"
// with the scripts, "verify.json" (each file's key is its name with the last "." turned into
// "_", its value the lower-case hex SHA-1 of the file) and "verify.signature" (RSA PKCS#1 v1.5
// with SHA-1 over the exact bytes of "verify.json").
//
// The entries are plain values, so tests change them after signing to make bad archives.
class ScriptBundleWriter {
public:
    struct Entry {
        std::string name;
        pf::Bytes data;
        bool symlink { false }; // written with the attributes of a symbolic link to `data`
    };
    using Files = std::vector<std::pair<std::string, pf::Bytes>>;

    // The key of a file name in "verify.json".
    static std::string keyForFileName(const std::string& fileName);
    static std::string verifyJson(const Files& scripts);
    // Every entry of a signed archive; none when signing fails.
    static std::optional<std::vector<Entry>> signedEntries(const Files& scripts, int version, int frequency,
        const std::string& keyPemPath, std::string* error = nullptr);
    // The ".js" files of a folder, by name.
    static Files scriptsInFolder(const std::string& folder);

    static bool writeZip(const std::string& path, const std::vector<Entry>& entries, std::string* error = nullptr);
};

}
