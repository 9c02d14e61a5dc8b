#pragma once

#include "platform/foundation/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

// File-system helpers in the manner of the platform's file manager. Paths are plain text;
// every operation reports failure by its result (and an optional reason), never by throwing.
//
// Rules:
// - `copyItem` and `moveItem` fail when the destination exists; they never overwrite
//   (`replaceItem` is the one that does).
// - `writeAtomically` writes a temporary file beside the target and renames it over the target,
//   so a reader sees the old or the new contents, never a torn file. By default the contents
//   reach the disk before the rename and the folder after it (the file survives a power cut as
//   written, not as it was before); `flush` false leaves that to the system, for files that can
//   be made again (caches), where waiting for the disk costs more than losing the file. A
//   folder that cannot be flushed after the rename is logged: the new contents are in place. A
//   write that fails gives the system's reason ("No space left on device", "Is a directory"),
//   and leaves the old file as it was.
// - A write killed part-way leaves its temporary file. A write that flushes first removes what
//   earlier writes of the same file left (`removeLeftoverTemporaries`; a store may also call it
//   as it loads its file); a cache (no flush)
//   removes its folder's leftovers itself, once a launch. Only names the writer makes are
//   removed, and only a regular file of this user (a folder, for a writer of folders), never a
//   link; a temporary that a write of this process is still making is never removed.
// - `createDirectory` without intermediates fails when the parent is missing; with them, it
//   succeeds when the directory already exists.
// - A store never writes over a file it could not read: it sets the file aside first
//   (`setAside`), or a copy of it when it goes on with the entries it could read
//   (`setAsideCopy`). What is set aside stays for a person to recover and nothing here deletes
//   it: the first file as "<file>.corrupt", later ones as "<file>.corrupt-2", "<file>.corrupt-3"
//   and on. Bytes that a copy set aside already holds are not kept twice. A copy that fails
//   part-way leaves nothing at its destination. An aside name at which anything lies, a link
//   included (whether or not it leads anywhere), is taken: it is never followed, written over,
//   or taken for a copy of the file.
class FileManager {
public:
    static bool exists(const std::string& path, bool* isDirectory = nullptr);
    static bool isDirectory(const std::string& path);
    // Whether anything lies at `path`, a link included (whether or not it leads anywhere).
    static bool isOccupied(const std::string& path);
    // Whether `path` is a regular file of this process's user, judged without following a link
    // (a link, a folder or another user's file is not): what a program may take for a file it
    // left there itself.
    static bool isOwnFile(const std::string& path);
    // Whether both names are regular files (links not followed) and one file, under two names.
    static bool isSameFile(const std::string& one, const std::string& other);
    static bool createDirectory(const std::string& path, bool withIntermediates, std::string* error = nullptr);
    // Removes a file or a whole directory tree, whatever it holds. Removing what does not exist
    // fails. Only for a tree the program made itself and means to remove whole (a temporary
    // home, a staging folder): a file the app owns goes through `removeFile`, which never takes
    // what another put at its name.
    static bool removeItem(const std::string& path, std::string* error = nullptr);
    // How a removal of one file ended.
    enum class Removal {
        Removed,
        Missing,  // nothing lay at the name
        NotAFile, // a folder, a link, another user's file: left as it is (and said in the log)
        Failed,   // the system refused (the reason in `error`)
    };
    // Removes the regular file of this user at `path` (judged without following a link), and
    // nothing else: anything else at that name (a folder with all it holds, a link, another
    // user's file) is left where it is, with a log line saying so.
    static Removal removeFile(const std::string& path, std::string* error = nullptr);
    static bool moveItem(const std::string& from, const std::string& to, std::string* error = nullptr);
    // Renames `from` over `to` in one step (both in one folder): a reader finds the old file or
    // the new one, never none.
    static bool replaceItem(const std::string& from, const std::string& to, std::string* error = nullptr);
    static bool copyItem(const std::string& from, const std::string& to, std::string* error = nullptr);
    // Moves the file to the next free aside name; when a copy set aside before holds the same
    // bytes, the file is removed instead. True when its bytes are kept aside.
    static bool setAside(const std::string& path, std::string* error = nullptr);
    // The same, but the file stays where it is: a copy, flushed to the disk, takes the aside name
    // once it is whole, and never replaces what lies there. A copy ended part-way (a full disk, a
    // process killed) takes no aside name; what it wrote is left, if at all, under a temporary
    // name "<file>.tmp-<hex>", as `writeAtomically` leaves its own.
    static bool setAsideCopy(const std::string& path, std::string* error = nullptr);
    // Moves the file, and each file beside it named `path` + a suffix of `companions` (a
    // database's journals, which belong to it), to the first aside name at which every name of
    // that set is free (`asidePathWith`), the companions beside it under the same suffixes; gives
    // that name. Nothing is compared: the journals make a copy of its own even when the file's
    // bytes were kept before.
    static std::optional<std::string> setAsideWith(const std::string& path, const std::vector<std::string>& companions,
        std::string* error = nullptr);
    // The name `setAsideWith` would give the file now, for a caller that records it before the
    // move, so that a move cut short can be finished (`finishSetAsideWith`).
    static std::string asidePathWith(const std::string& path, const std::vector<std::string>& companions);
    // `setAsideWith` to that name.
    static bool moveAsideWith(const std::string& path, const std::string& aside, const std::vector<std::string>& companions,
        std::string* error = nullptr);
    // After a move aside cut short once the file was moved, before its companions followed:
    // moves the companions still beside `path` beside the file moved to `aside`. Where that name
    // is not known, holds no file or has a companion's name taken, they go to an aside name of
    // their own, beside no file, never beside another copy. Gives where they went (none when no
    // companion was left).
    static std::optional<std::string> finishSetAsideWith(const std::string& path, const std::optional<std::string>& aside,
        const std::vector<std::string>& companions);
    // The same as `setAsideWith`, but the file stays where it is and the aside name becomes a
    // second link to it, which reads none of its bytes; each companion gets a second name beside
    // it too, and stays beside the file it still belongs to. For a caller that is about to rename
    // a file rebuilt from it into its place, then calls `dropCompanionsKeptAside` (the new file
    // must not find the old one's journals beside it). Fails, leaving nothing behind, where the
    // file system has no links. When an aside name already is a second link to the file (a
    // set-aside cut short before the rename), that name is given and no other is made.
    static std::optional<std::string> setAsideLinkWith(const std::string& path, const std::vector<std::string>& companions,
        std::string* error = nullptr);
    // The aside name that already is a second link to the file at `path` (a `setAsideLinkWith`
    // whose caller did not get to replace the file), if any.
    static std::optional<std::string> asideLinkOf(const std::string& path, const std::vector<std::string>& companions);
    // Removes each companion beside `path` that is a second name of the same companion of a copy
    // set aside by link, other than the file now at `path`: it belongs to that copy.
    static void dropCompanionsKeptAside(const std::string& path, const std::vector<std::string>& companions);
    // The name of the n-th copy set aside: "<path>.corrupt", then "<path>.corrupt-<n>".
    static std::string asidePath(const std::string& path, int n = 1);
    // The aside names taken so far, in order, up to the first free name (a set-aside with
    // companions may have passed a free name whose companions were taken).
    static std::vector<std::string> asidePaths(const std::string& path);
    // The first free name of `asidePath`.
    static std::string nextAsidePath(const std::string& path);

    // How a writer names the temporary files (or folders) it makes beside the file it writes:
    // the file's name, then `mark`, then exactly `length` characters, each one of `alphabet`.
    struct TemporaryNames {
        std::string_view mark;
        size_t length;
        std::string_view alphabet;
        bool folders; // the writer makes folders (a staging folder), not files
    };
    // `writeAtomically`'s: "<file>.tmp-" and 12 lowercase hexadecimal digits.
    static constexpr TemporaryNames kWriteTemporaries { ".tmp-", 12, "0123456789abcdef", false };
    // What mkstemp and mkdtemp put in place of a template's "XXXXXX".
    static constexpr std::string_view kMktempCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    // Removes what writes of `path` killed part-way left beside it, named as `names` says: each
    // such name that holds a regular file of this user (a folder, for a writer of folders), not a
    // link, and that no write of this process is making now. A `path` ending in "/" stands for
    // every file of that folder. A writer other than `writeAtomically` calls it where none of its
    // own writes can be under way (under its lock, on its queue). Gives how many went.
    static size_t removeLeftoverTemporaries(const std::string& path, const TemporaryNames& names = kWriteTemporaries);
    // Flushes the folder that holds `path` to the disk, so that a rename or a creation of `path`
    // outlasts a power cut (the file's own bytes need their own flush, before the rename).
    static bool flushFolderOf(const std::string& path, std::string* error = nullptr);

    static bool writeAtomically(const std::string& path, const Bytes& data, std::string* error = nullptr);
    static bool writeAtomically(const std::string& path, const Bytes& data, std::string* error, bool flush);
    static bool writeAtomically(const std::string& path, std::string_view text, std::string* error = nullptr);

    // Every stored file is read whole through `readFile` (and so through `read`), which tells a
    // file that cannot be read now from one that is not there or not a file, so that a store
    // sets aside only what read whole and is wrong, and leaves the rest where it lies:
    // - The file is read at offsets, a block at a time. A read that fails is made again at once,
    //   up to `kRetriesPerRead` more times (a disk's retry may get a sector back; memory may be
    //   free again); a read that timed out has waited its time already and is made once more
    //   only. A read interrupted by a signal is made again without counting.
    // - What still fails after its tries ends the read as `Unreadable`, with the system's reason:
    //   the caller goes on without the file and leaves it untouched (a later read may pass).
    // - A folder, or anything else that is no regular file, is `NotAFile`; a file larger than the
    //   limit is `TooLarge`, unread.
    struct FileRead {
        enum class Outcome { Read, Missing, NotAFile, TooLarge, Unreadable };
        Outcome outcome = Outcome::Missing;
        Bytes bytes;        // the whole file, when read
        int error = 0;      // the system's error of `Unreadable`
        std::string reason; // what a log line says of any outcome but `Read`
        bool read() const { return outcome == Outcome::Read; }
    };
    static constexpr int kRetriesPerRead = 3;
    static constexpr std::uint64_t kNoLimit = ~std::uint64_t(0);
    static FileRead readFile(const std::string& path, std::uint64_t maxBytes = kNoLimit);
    // `readFile`'s bytes when the file was read whole; none otherwise. What is neither a regular
    // file nor a folder (a pipe, a device) is read as it comes, to its end: never a store's file,
    // which `readFile` reads.
    static std::optional<Bytes> read(const std::string& path);
    // A regular file of at most `maxBytes`, read whole; none (with the reason) otherwise, also
    // when the file grew past the limit while it was read.
    static std::optional<Bytes> read(const std::string& path, std::uint64_t maxBytes, std::string* error = nullptr);
    static std::optional<std::string> readText(const std::string& path);
    static std::optional<std::uint64_t> size(const std::string& path);
    // Where the last of a file's data ends, by the file system's map of its holes: a sparse
    // tail, which reads as zeros and takes no room, is not counted. The file's size where the
    // file system keeps no such map, or the file has more than a few thousand stretches of data
    // (they are not walked one by one for ever); none when it cannot be opened.
    static std::optional<std::uint64_t> dataEnd(const std::string& path);

    // Names in a directory (not recursive), sorted.
    static std::vector<std::string> contentsOfDirectory(const std::string& path);
    // Every file and directory below `path`, as paths relative to it ("a", "a/b.txt"), sorted.
    static std::vector<std::string> enumerate(const std::string& path);

    static std::string join(const std::string& directory, const std::string& name);
};

}
