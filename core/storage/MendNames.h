#pragma once

#include <optional>
#include <string>
#include <vector>

// The names a mend of the store works under, beside the store: the new file is built at a
// working name ("<file>.rebuilt", or "<file>.rebuilt-2" and on where something the mend did not
// leave lies at the first: a folder, a link, another user's file, never removed), with its
// journals; where the damaged file is moved aside (no second names on the file system), the
// aside record ("<working>.aside") says where it went. What lies at these names is the mend's
// only when it is a regular file of this user.
//
// The aside record holds the aside name, then the moved file's inode and size. A launch that
// finds a move cut short trusts it only when the file at that name is that file: an edited
// record, or one naming an older copy or a free name, is no record. A record of one line, as
// earlier versions wrote, says neither: it is no record either (the journals it would have put
// beside the damaged file go under a name of their own, and are kept).
class MendNames {
public:
    static constexpr int kWorkingNames = 8;

    // A database's journals: they go aside with it, and a new file must not replay them.
    static const std::vector<std::string>& journals();
    static std::string workingPath(const std::string& path, int n);
    // A regular file of this user lies there.
    static bool leftByAMend(const std::string& name);
    // Removes what a mend left at one working name (its journals and record too), and only that.
    static void removeWorkingFile(const std::string& working);
    // The same at every working name.
    static void removeLeftovers(const std::string& path);
    // The first working name at which nothing lies, its companions' names included; none when
    // every one is taken.
    static std::optional<std::string> freeWorkingPath(const std::string& path);
    // The mended file a killed mend left finished (no journal beside it) at its working name.
    static std::optional<std::string> finishedWorkingFile(const std::string& path);

    // Writes, before the damaged file at `path` is moved to `aside`, the record of it.
    static bool writeAsideRecord(const std::string& working, const std::string& path, const std::string& aside,
        std::string* error);
    // The aside path a record beside `working` names, when it is trusted (see above).
    static std::optional<std::string> recordedAside(const std::string& path, const std::string& working);

    // Puts on the disk the folder of a mended file that has taken the store's name: until then
    // a power cut may bring the damaged file back under it.
    static void flushPlacement(const std::string& path);
};
