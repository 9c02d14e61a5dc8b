#pragma once

#include "platform/foundation/Value.h"

#include <map>
#include <optional>
#include <string>

// Checks a script folder: the signature over its "verify.json", then the SHA-1 of every file
// that list names (its key with the last "_" turned back into "."). Files it does not name are
// not checked.
class TOSDKUpdateVerify {
public:
    // With `checked`, a folder that verifies also hands over the bytes of every file the list
    // names, by name: what was checked is what the caller uses, without reading it again.
    // With `problem`, a folder that does not verify says why: the first file that cannot be read
    // (after the retries every read gets), does not match its hash, or a signature that fails.
    static bool isNativeResourceFileValid(const std::string& folder, std::map<std::string, pf::Bytes>* checked = nullptr,
        std::string* problem = nullptr);
    static bool verifyFile(const std::string& path, const std::optional<std::string>& expectedHash);
    // "init_js" names "init.js", "a_b_js" names "a_b.js"; a key without "_" names itself.
    static std::string fileNameForKey(const std::string& key);
};
