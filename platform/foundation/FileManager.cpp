#include "platform/foundation/FileManager.h"

#include "platform/foundation/Crypto.h"
#include "platform/foundation/Log.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pf {

namespace {

// The folder that holds `path`, and the name it has there.
std::pair<std::string, std::string> folderAndName(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return { ".", path };
    return { slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1) };
}

bool fail(std::string* error, std::string reason)
{
    if (error)
        *error = std::move(reason);
    return false;
}

// Whether anything at all lies at `path`, a link included, whether or not it leads anywhere:
// names are judged by what they are, never by where they lead (moves and copies never write
// over a link, and an aside name is never taken for what a link there leads to).
bool occupied(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool writeAll(int fd, const std::uint8_t* data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}

bool FileManager::isOccupied(const std::string& path)
{
    return occupied(path);
}

bool FileManager::isOwnFile(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

bool FileManager::isSameFile(const std::string& one, const std::string& other)
{
    struct stat first {};
    struct stat second {};
    return ::lstat(one.c_str(), &first) == 0 && ::lstat(other.c_str(), &second) == 0 && S_ISREG(first.st_mode)
        && S_ISREG(second.st_mode) && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool FileManager::exists(const std::string& path, bool* isDirectory)
{
    std::error_code ec;
    auto status = fs::status(path, ec);
    bool found = !ec && fs::exists(status);
    if (isDirectory)
        *isDirectory = found && fs::is_directory(status);
    return found;
}

bool FileManager::isDirectory(const std::string& path)
{
    bool dir = false;
    return exists(path, &dir) && dir;
}

bool FileManager::createDirectory(const std::string& path, bool withIntermediates, std::string* error)
{
    if (path.empty())
        return fail(error, "empty path");
    std::error_code ec;
    if (withIntermediates) {
        fs::create_directories(path, ec);
        if (ec)
            return fail(error, ec.message());
        if (!isDirectory(path))
            return fail(error, "a file is in the way");
        return true;
    }
    if (!fs::create_directory(path, ec)) {
        if (ec)
            return fail(error, ec.message());
        return fail(error, "already exists");
    }
    return true;
}

bool FileManager::removeItem(const std::string& path, std::string* error)
{
    if (!occupied(path))
        return fail(error, "no such file");
    std::error_code ec;
    fs::remove_all(path, ec);
    if (ec)
        return fail(error, ec.message());
    return true;
}

FileManager::Removal FileManager::removeFile(const std::string& path, std::string* error)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            fail(error, "no such file");
            return Removal::Missing;
        }
        fail(error, std::strerror(errno));
        return Removal::Failed;
    }
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        const char* what = S_ISDIR(info.st_mode) ? "a folder" : S_ISLNK(info.st_mode) ? "a link" : S_ISREG(info.st_mode) ? "another user's file" : "no regular file";
        fail(error, std::string(what) + " lies there");
        Log::format("FileManager: %s is %s, not a file of the app's; it is left as it is", path.c_str(), what);
        return Removal::NotAFile;
    }
    // unlink never removes a folder, so a folder put there since the look is left too.
    if (::unlink(path.c_str()) != 0) {
        const int reason = errno;
        fail(error, std::strerror(reason));
        if (reason == ENOENT)
            return Removal::Missing;
        if (reason == EISDIR || reason == EPERM) {
            Log::format("FileManager: %s is no longer a file of the app's; it is left as it is", path.c_str());
            return Removal::NotAFile;
        }
        return Removal::Failed;
    }
    return Removal::Removed;
}

bool FileManager::moveItem(const std::string& from, const std::string& to, std::string* error)
{
    if (!occupied(from))
        return fail(error, "no such file");
    if (occupied(to))
        return fail(error, "the destination exists");
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec) {
        // Across file systems: copy, then remove the source.
        if (!copyItem(from, to, error))
            return false;
        return removeItem(from, error);
    }
    return true;
}

bool FileManager::replaceItem(const std::string& from, const std::string& to, std::string* error)
{
    if (std::rename(from.c_str(), to.c_str()) != 0)
        return fail(error, "cannot rename " + from + " to " + to + ": " + std::strerror(errno));
    return true;
}

bool FileManager::copyItem(const std::string& from, const std::string& to, std::string* error)
{
    if (!occupied(from))
        return fail(error, "no such file");
    if (occupied(to))
        return fail(error, "the destination exists");
    std::error_code ec;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) {
        // What the copy made before it failed (a file cut short by a read that failed) is no
        // copy: it goes, so that a failed copy leaves nothing behind. The destination was free.
        std::error_code ignored;
        fs::remove_all(to, ignored);
        return fail(error, ec.message());
    }
    return true;
}

namespace {

// Whether a copy set aside before holds exactly the bytes of `path`. Only a file of its own
// counts: a link at an aside name may lead back to `path` itself.
bool keptAside(const std::string& path)
{
    auto measured = FileManager::size(path);
    std::optional<Bytes> bytes;
    for (const auto& aside : FileManager::asidePaths(path)) {
        struct stat info {};
        if (::lstat(aside.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) != measured)
            continue;
        if (!bytes && !(bytes = FileManager::read(path)))
            return false;
        if (FileManager::read(aside) == bytes)
            return true;
    }
    return false;
}

}

bool FileManager::setAside(const std::string& path, std::string* error)
{
    if (!size(path))
        return fail(error, "no such file");
    if (keptAside(path))
        return removeFile(path, error) == Removal::Removed;
    return moveItem(path, nextAsidePath(path), error);
}

namespace {

// The temporary files this process's writes are making now, by name (a name holds 48 random
// bits, so it stands for its file in any folder). Removing leftovers checks each name here, under
// the same lock, so a write of the same file under another lock, or of another copy of a store,
// never loses its temporary file.
struct LiveTemporaries {
    std::mutex mutex;
    std::set<std::string> names;
};

LiveTemporaries& liveTemporaries()
{
    static auto& live = *new LiveTemporaries; // never destroyed: writes may run while the process ends
    return live;
}

// A name in the live list while it lives.
class LiveTemporary {
public:
    explicit LiveTemporary(std::string name)
        : m_name(std::move(name))
    {
        std::lock_guard lock(liveTemporaries().mutex);
        liveTemporaries().names.insert(m_name);
    }
    ~LiveTemporary()
    {
        std::lock_guard lock(liveTemporaries().mutex);
        liveTemporaries().names.erase(m_name);
    }
    LiveTemporary(const LiveTemporary&) = delete;
    LiveTemporary& operator=(const LiveTemporary&) = delete;

private:
    std::string m_name;
};

}

bool FileManager::setAsideCopy(const std::string& path, std::string* error)
{
    if (!size(path))
        return fail(error, "no such file");
    if (keptAside(path))
        return true;
    // The copy is made whole, and flushed, under a temporary name ("<file>.tmp-<hex>", the name
    // of `writeAtomically`'s temporary files) and only then given its aside name, in a step that
    // never replaces: a copy cut short by a kill, a full disk or a power cut is never taken for a
    // copy kept, and a name something else took meanwhile is passed for the next one.
    std::string temp = path + ".tmp-" + Crypto::hex(Crypto::randomBytes(6));
    LiveTemporary live(folderAndName(temp).second);
    if (!copyItem(path, temp, error))
        return false;
    int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC);
    bool flushed = fd >= 0 && ::fsync(fd) == 0;
    int reason = errno;
    if (fd >= 0)
        ::close(fd);
    if (!flushed) {
        ::unlink(temp.c_str());
        return fail(error, "cannot flush " + temp + ": " + std::strerror(reason));
    }
    for (int tries = 0; tries < 100; ++tries) {
        std::string aside = nextAsidePath(path);
        if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        // A file system that cannot rename without replacing: the copy gets a second name, and
        // loses its first.
        if (errno != EEXIST && ::link(temp.c_str(), aside.c_str()) == 0) {
            ::unlink(temp.c_str());
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    reason = errno;
    ::unlink(temp.c_str());
    return fail(error, "cannot give the copy of " + path + " an aside name: " + std::strerror(reason));
}

namespace {

// The aside name for `path` and its companions: the first name at which that name and the name
// of each companion beside it are free (a companion left behind, its file since removed or a
// stray one, does not block the set-aside, and is never written over). A name is free when
// nothing lies there, not even a link. With `linked`, an aside name met before it that already
// is a second name of the same file (a set-aside by link cut short before the file was
// replaced) is taken instead, where the companions beside `path` can follow it: the file is
// aside already, and another name would only keep it twice. A link at an aside name is never
// that: it is not the file, and what it leads to may be `path` itself. `linked` then says which
// it is.
std::string chooseAsidePath(const std::string& path, const std::vector<std::string>& companions, bool* linked = nullptr)
{
    struct stat file {};
    const bool known = linked && ::stat(path.c_str(), &file) == 0 && S_ISREG(file.st_mode);
    auto companionsFreeAt = [&](const std::string& aside) {
        return std::none_of(companions.begin(), companions.end(), [&](const std::string& suffix) { return occupied(aside + suffix); });
    };
    if (linked)
        *linked = false;
    for (int n = 1;; ++n) {
        std::string aside = FileManager::asidePath(path, n);
        struct stat other {};
        if (::lstat(aside.c_str(), &other) != 0) {
            if (companionsFreeAt(aside))
                return aside;
            continue;
        }
        if (known && S_ISREG(other.st_mode) && other.st_dev == file.st_dev && other.st_ino == file.st_ino
            && std::none_of(companions.begin(), companions.end(), [&](const std::string& suffix) {
                   return occupied(path + suffix) && occupied(aside + suffix)
                       && !FileManager::isSameFile(path + suffix, aside + suffix);
               })) {
            *linked = true;
            return aside;
        }
    }
}

void moveCompanions(const std::string& path, const std::string& aside, const std::vector<std::string>& companions)
{
    for (const auto& suffix : companions) {
        if (occupied(path + suffix))
            FileManager::moveItem(path + suffix, aside + suffix);
    }
}

// The aside names of `path` that a set-aside may have used: up to the first name at which the
// name and every companion's name are free.
std::vector<std::string> asideNamesUsed(const std::string& path, const std::vector<std::string>& companions)
{
    std::vector<std::string> names;
    for (int n = 1;; ++n) {
        std::string aside = FileManager::asidePath(path, n);
        if (!occupied(aside)
            && std::none_of(companions.begin(), companions.end(), [&](const std::string& suffix) { return occupied(aside + suffix); }))
            return names;
        names.push_back(aside);
    }
}

}

std::string FileManager::asidePathWith(const std::string& path, const std::vector<std::string>& companions)
{
    return chooseAsidePath(path, companions);
}

std::optional<std::string> FileManager::setAsideWith(const std::string& path, const std::vector<std::string>& companions,
    std::string* error)
{
    std::string aside = chooseAsidePath(path, companions);
    if (!moveAsideWith(path, aside, companions, error))
        return std::nullopt;
    return aside;
}

bool FileManager::moveAsideWith(const std::string& path, const std::string& aside, const std::vector<std::string>& companions,
    std::string* error)
{
    if (!moveItem(path, aside, error))
        return false;
    moveCompanions(path, aside, companions);
    return true;
}

std::optional<std::string> FileManager::finishSetAsideWith(const std::string& path, const std::optional<std::string>& aside,
    const std::vector<std::string>& companions)
{
    std::vector<std::string> left;
    for (const auto& suffix : companions) {
        if (occupied(path + suffix))
            left.push_back(suffix);
    }
    if (left.empty())
        return std::nullopt;
    // Beside the file they belong to, where it lies and their names there are free; otherwise
    // under an aside name of their own, beside no file: a journal put beside another copy would
    // be rolled into it when that copy is opened.
    struct stat info {};
    const bool owned = aside && ::lstat(aside->c_str(), &info) == 0 && S_ISREG(info.st_mode)
        && std::none_of(left.begin(), left.end(), [&](const std::string& suffix) { return occupied(*aside + suffix); });
    const std::string owner = owned ? *aside : chooseAsidePath(path, companions);
    moveCompanions(path, owner, left);
    return owner;
}

std::optional<std::string> FileManager::setAsideLinkWith(const std::string& path, const std::vector<std::string>& companions,
    std::string* error)
{
    if (!size(path)) {
        fail(error, "no such file");
        return std::nullopt;
    }
    bool linked = false;
    std::string aside = chooseAsidePath(path, companions, &linked);
    // A second name for the same file: nothing is read, so bytes the disk can no longer give
    // back (the likely reason the file is being set aside) do not stop it. Where `path` is a
    // link, the name is given to the file it leads to.
    if (!linked && ::linkat(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        fail(error, "cannot link " + path + " to " + aside + ": " + std::strerror(errno));
        return std::nullopt;
    }
    // The companions keep their names beside the file until it is replaced: a journal parted
    // from a file still in use would leave a transaction cut short unrolled.
    std::vector<std::string> made;
    for (const auto& suffix : companions) {
        if (!occupied(path + suffix) || occupied(aside + suffix))
            continue;
        if (::linkat(AT_FDCWD, (path + suffix).c_str(), AT_FDCWD, (aside + suffix).c_str(), 0) != 0) {
            fail(error, "cannot link " + path + suffix + " to " + aside + suffix + ": " + std::strerror(errno));
            for (const auto& name : made)
                ::unlink(name.c_str());
            if (!linked)
                ::unlink(aside.c_str());
            return std::nullopt;
        }
        made.push_back(aside + suffix);
    }
    return aside;
}

std::optional<std::string> FileManager::asideLinkOf(const std::string& path, const std::vector<std::string>& companions)
{
    bool linked = false;
    std::string aside = chooseAsidePath(path, companions, &linked);
    if (!linked)
        return std::nullopt;
    return aside;
}

void FileManager::dropCompanionsKeptAside(const std::string& path, const std::vector<std::string>& companions)
{
    for (const auto& aside : asideNamesUsed(path, companions)) {
        if (isSameFile(aside, path))
            continue;
        for (const auto& suffix : companions) {
            if (isSameFile(path + suffix, aside + suffix))
                ::unlink((path + suffix).c_str());
        }
    }
}

std::string FileManager::asidePath(const std::string& path, int n)
{
    return n <= 1 ? path + ".corrupt" : path + ".corrupt-" + std::to_string(n);
}

std::vector<std::string> FileManager::asidePaths(const std::string& path)
{
    std::vector<std::string> paths;
    for (int n = 1; occupied(asidePath(path, n)); ++n)
        paths.push_back(asidePath(path, n));
    return paths;
}

std::string FileManager::nextAsidePath(const std::string& path)
{
    return asidePath(path, static_cast<int>(asidePaths(path).size()) + 1);
}

namespace {

// Whether `name` is a temporary name of `stem` as `names` makes them; an empty stem stands for
// any file's.
bool isTemporaryName(std::string_view name, std::string_view stem, const FileManager::TemporaryNames& names)
{
    const size_t suffix = names.mark.size() + names.length;
    if (stem.empty() ? name.size() <= suffix : (name.size() != stem.size() + suffix || !name.starts_with(stem)))
        return false;
    std::string_view rest = name.substr(name.size() - suffix);
    return rest.starts_with(names.mark)
        && std::all_of(rest.begin() + static_cast<std::ptrdiff_t>(names.mark.size()), rest.end(),
            [&](char c) { return names.alphabet.find(c) != std::string_view::npos; });
}

}

size_t FileManager::removeLeftoverTemporaries(const std::string& path, const TemporaryNames& names)
{
    auto [folder, stem] = folderAndName(path);
    size_t removed = 0;
    for (const auto& name : contentsOfDirectory(folder)) {
        if (!isTemporaryName(name, stem, names))
            continue;
        std::string leftover = join(folder, name);
        auto& live = liveTemporaries();
        std::lock_guard lock(live.mutex);
        struct stat info {};
        if (live.names.count(name) || ::lstat(leftover.c_str(), &info) != 0 || info.st_uid != ::geteuid()
            || !(names.folders ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode)))
            continue;
        // A folder's contents are removed, never followed: a link in it goes as a link.
        std::error_code ec;
        if (names.folders)
            fs::remove_all(leftover, ec);
        else if (::unlink(leftover.c_str()) != 0)
            ec.assign(errno, std::generic_category());
        if (ec) {
            Log::format("FileManager: cannot remove %s, left by a write that did not end", leftover.c_str());
            continue;
        }
        Log::format("FileManager: removed %s, left by a write that did not end", leftover.c_str());
        ++removed;
    }
    return removed;
}

bool FileManager::flushFolderOf(const std::string& path, std::string* error)
{
    std::string folder = folderAndName(path).first;
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fail(error, "cannot open " + folder + ": " + std::strerror(errno));
    bool flushed = ::fsync(fd) == 0;
    int reason = errno;
    ::close(fd);
    return flushed || fail(error, "cannot flush " + folder + ": " + std::strerror(reason));
}

bool FileManager::writeAtomically(const std::string& path, const Bytes& data, std::string* error)
{
    return writeAtomically(path, data, error, true);
}

bool FileManager::writeAtomically(const std::string& path, const Bytes& data, std::string* error, bool flush)
{
    if (path.empty())
        return fail(error, "empty path");
    if (flush)
        removeLeftoverTemporaries(path);
    std::string temp = path + ".tmp-" + Crypto::hex(Crypto::randomBytes(6));
    LiveTemporary live(folderAndName(temp).second);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(error, "cannot create " + temp + ": " + std::strerror(errno));
    // The first failure's reason is the one given: a full disk, an error of the disk.
    int reason = 0;
    if (!writeAll(fd, data.data(), data.size()) || (flush && ::fsync(fd) != 0))
        reason = errno;
    if (::close(fd) != 0 && reason == 0)
        reason = errno;
    if (reason != 0) {
        ::unlink(temp.c_str());
        return fail(error, std::strerror(reason));
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        reason = errno;
        ::unlink(temp.c_str());
        return fail(error, std::string("cannot put the new contents in place: ") + std::strerror(reason));
    }
    // Until the folder is on the disk, a power cut may bring the old file back.
    std::string unflushed;
    if (flush && !flushFolderOf(path, &unflushed))
        Log::format("FileManager: %s is written, but %s; a power cut may bring its earlier contents back", path.c_str(), unflushed.c_str());
    return true;
}

bool FileManager::writeAtomically(const std::string& path, std::string_view text, std::string* error)
{
    return writeAtomically(path, Bytes(text.begin(), text.end()), error);
}

namespace {

// Reads `count` bytes at `offset` (fewer only at the file's end), making a read that failed
// again as `readFile` says. The bytes read, or -1 with errno set.
ssize_t readAtRetrying(int fd, std::uint8_t* into, size_t count, off_t offset)
{
    int tries = 0;
    for (;;) {
        ssize_t n = ::pread(fd, into, count, offset);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        const int reason = errno;
        const int allowed = reason == ETIMEDOUT ? 1 : FileManager::kRetriesPerRead;
        if (tries++ >= allowed) {
            errno = reason;
            return -1;
        }
    }
}

FileManager::FileRead readFailed(FileManager::FileRead::Outcome outcome, std::string reason, int error = 0)
{
    FileManager::FileRead result;
    result.outcome = outcome;
    result.reason = std::move(reason);
    result.error = error;
    return result;
}

}

FileManager::FileRead FileManager::readFile(const std::string& path, std::uint64_t maxBytes)
{
    using Outcome = FileRead::Outcome;
    int fd = -1;
    for (int tries = 0;; ++tries) {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0)
            break;
        const int reason = errno;
        if (reason == ENOENT || reason == ENOTDIR)
            return readFailed(Outcome::Missing, "no such file");
        // Memory, a busy device or a signal may pass; a refusal by permissions will not, but
        // it is no damage either: the file is left as it is.
        if (reason != EINTR && (tries >= kRetriesPerRead || (reason != EIO && reason != ENOMEM && reason != EAGAIN && reason != ETIMEDOUT)))
            return readFailed(Outcome::Unreadable, std::strerror(reason), reason);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int reason = errno;
        ::close(fd);
        return readFailed(Outcome::Unreadable, std::strerror(reason), reason);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return readFailed(Outcome::NotAFile, S_ISDIR(info.st_mode) ? "a folder lies there" : "no regular file lies there");
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        ::close(fd);
        return readFailed(Outcome::TooLarge, "larger than " + std::to_string(maxBytes) + " bytes");
    }
    // The size read first is only a guess (the file may grow while it is read): reading goes on
    // until the end, or past the limit.
    constexpr size_t kBlock = 64 * 1024;
    FileRead result;
    Bytes& out = result.bytes;
    out.resize(std::min<std::uint64_t>(static_cast<std::uint64_t>(info.st_size), maxBytes == kNoLimit ? maxBytes : maxBytes + 1) + 1);
    size_t used = 0;
    for (;;) {
        if (used == out.size())
            out.resize(out.size() * 2);
        const size_t count = std::min(out.size() - used, kBlock);
        ssize_t n = readAtRetrying(fd, out.data() + used, count, static_cast<off_t>(used));
        if (n < 0) {
            const int reason = errno;
            ::close(fd);
            return readFailed(Outcome::Unreadable, std::strerror(reason), reason);
        }
        if (n == 0)
            break;
        used += static_cast<size_t>(n);
        if (used > maxBytes) {
            ::close(fd);
            return readFailed(Outcome::TooLarge, "larger than " + std::to_string(maxBytes) + " bytes");
        }
    }
    ::close(fd);
    out.resize(used);
    result.outcome = Outcome::Read;
    return result;
}

namespace {

// What the system makes up or hands on (a pipe, a device): read as it comes, to its end.
std::optional<Bytes> readStream(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    Bytes out(4096);
    size_t used = 0;
    for (;;) {
        if (used == out.size())
            out.resize(out.size() * 2);
        ssize_t n = ::read(fd, out.data() + used, out.size() - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        used += static_cast<size_t>(n);
    }
    ::close(fd);
    out.resize(used);
    return out;
}

}

std::optional<Bytes> FileManager::read(const std::string& path)
{
    // A regular file (or a folder, which reads as none) the one way every stored file is read.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        return readStream(path);
    auto file = readFile(path);
    if (!file.read())
        return std::nullopt;
    return std::move(file.bytes);
}

std::optional<Bytes> FileManager::read(const std::string& path, std::uint64_t maxBytes, std::string* error)
{
    auto file = readFile(path, maxBytes);
    if (!file.read()) {
        fail(error, file.outcome == FileRead::Outcome::Missing || file.outcome == FileRead::Outcome::NotAFile ? "not a file"
                : file.outcome == FileRead::Outcome::TooLarge                                                    ? file.reason
                                                                                                                 : "cannot read the file: " + file.reason);
        return std::nullopt;
    }
    return std::move(file.bytes);
}

std::optional<std::string> FileManager::readText(const std::string& path)
{
    auto bytes = read(path);
    if (!bytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

std::optional<std::uint64_t> FileManager::size(const std::string& path)
{
    std::error_code ec;
    auto status = fs::status(path, ec);
    if (ec || !fs::is_regular_file(status))
        return std::nullopt;
    auto n = fs::file_size(path, ec);
    if (ec)
        return std::nullopt;
    return n;
}

std::optional<std::uint64_t> FileManager::dataEnd(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    std::uint64_t end = 0;
    off_t at = 0;
    for (int stretches = 0;; ++stretches) {
        const off_t data = ::lseek(fd, at, SEEK_DATA);
        if (data < 0) {
            // ENXIO: no data past `at`; anything else: no map to go by.
            if (errno != ENXIO)
                end = size;
            break;
        }
        const off_t hole = ::lseek(fd, data, SEEK_HOLE);
        if (hole < 0 || stretches == 4096) {
            end = size;
            break;
        }
        end = static_cast<std::uint64_t>(hole);
        at = hole;
    }
    ::close(fd);
    return std::min(end, size);
}

std::vector<std::string> FileManager::contentsOfDirectory(const std::string& path)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> FileManager::enumerate(const std::string& path)
{
    std::vector<std::string> names;
    std::error_code ec;
    fs::path root(path);
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code relativeError;
        auto relative = fs::relative(it->path(), root, relativeError);
        if (!relativeError)
            names.push_back(relative.string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string FileManager::join(const std::string& directory, const std::string& name)
{
    if (directory.empty())
        return name;
    if (directory.back() == '/')
        return directory + name;
    return directory + "/" + name;
}

}
