#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Unpacks a zip archive of scripts into a folder, refusing what could reach outside it.
//
// Rules:
// - The whole archive is refused (false, with a reason) at the first entry whose name is empty,
//   absolute, holds a backslash or a ".." part, that is a symbolic link (by its Unix
//   attributes), that `accept` turns down, or when the archive has more than `maxEntries`
//   entries or unpacks to more than `maxTotalBytes`. What was written before is left for the
//   caller to remove with the folder, which should be a fresh one.
// - Folders are made as needed; no link is ever made; files are written with mode 0600.
class ScriptArchiveUnpacker {
public:
    struct Limits {
        size_t maxEntries { 256 };
        std::uint64_t maxTotalBytes { 16u << 20 };
    };
    using Filter = std::function<bool(const std::string& name)>;

    static bool unpack(const std::string& archivePath, const std::string& destination, const Limits& limits,
        const Filter& accept, std::string* error = nullptr);
    // Whether an entry name stays below the folder it is unpacked into.
    static bool isSafeName(const std::string& name);
};
