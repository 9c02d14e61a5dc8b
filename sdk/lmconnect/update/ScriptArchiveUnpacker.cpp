#include "sdk/lmconnect/update/ScriptArchiveUnpacker.h"

#include "platform/foundation/FileManager.h"

#include <minizip/unzip.h>

#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

bool fail(std::string* error, std::string reason)
{
    if (error)
        *error = std::move(reason);
    return false;
}

bool isSymlink(const unz_file_info64& info)
{
    // Only archives made on a Unix-like system carry Unix attributes in the high half.
    unsigned madeBy = static_cast<unsigned>(info.version >> 8);
    if (madeBy != 3 && madeBy != 19)
        return false;
    unsigned long mode = info.external_fa >> 16;
    return (mode & 0170000) == 0120000;
}

bool writeNew(const std::string& path, const std::vector<char>& data)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    size_t written = 0;
    while (written < data.size()) {
        ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n <= 0) {
            ::close(fd);
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return ::close(fd) == 0;
}

}

bool ScriptArchiveUnpacker::isSafeName(const std::string& name)
{
    if (name.empty() || name.front() == '/' || name.find('\\') != std::string::npos || name.find('\0') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t slash = name.find('/', start);
        std::string part = name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part == "..")
            return false;
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return true;
}

bool ScriptArchiveUnpacker::unpack(const std::string& archivePath, const std::string& destination, const Limits& limits,
    const Filter& accept, std::string* error)
{
    std::unique_ptr<void, decltype(&unzClose)> zip(unzOpen64(archivePath.c_str()), unzClose);
    if (!zip)
        return fail(error, "not a zip archive");
    unz_global_info64 global {};
    if (unzGetGlobalInfo64(zip.get(), &global) != UNZ_OK)
        return fail(error, "not a zip archive");
    if (global.number_entry > limits.maxEntries)
        return fail(error, "too many entries");
    if (!pf::FileManager::createDirectory(destination, true))
        return fail(error, "cannot make the folder");

    std::uint64_t total = 0;
    size_t count = 0;
    for (int status = unzGoToFirstFile(zip.get()); status != UNZ_END_OF_LIST_OF_FILE; status = unzGoToNextFile(zip.get())) {
        if (status != UNZ_OK)
            return fail(error, "the archive is damaged");
        if (++count > limits.maxEntries)
            return fail(error, "too many entries");
        unz_file_info64 info {};
        char nameBuffer[1024];
        if (unzGetCurrentFileInfo64(zip.get(), &info, nameBuffer, sizeof nameBuffer, nullptr, 0, nullptr, 0) != UNZ_OK
            || info.size_filename >= sizeof nameBuffer)
            return fail(error, "the archive is damaged");
        std::string name(nameBuffer, info.size_filename);
        if (!isSafeName(name))
            return fail(error, "unsafe entry name: " + name);
        if (isSymlink(info))
            return fail(error, "link entry: " + name);
        if (accept && !accept(name))
            return fail(error, "unexpected entry: " + name);

        std::string path = pf::FileManager::join(destination, name);
        if (name.back() == '/') {
            if (!pf::FileManager::createDirectory(path, true))
                return fail(error, "cannot make " + name);
            continue;
        }
        size_t slash = path.rfind('/');
        if (slash != std::string::npos && !pf::FileManager::createDirectory(path.substr(0, slash), true))
            return fail(error, "cannot make the folder of " + name);

        if (unzOpenCurrentFile(zip.get()) != UNZ_OK)
            return fail(error, "the archive is damaged");
        std::vector<char> data;
        char buffer[16384];
        int n;
        while ((n = unzReadCurrentFile(zip.get(), buffer, sizeof buffer)) > 0) {
            // The sizes in the archive are not trusted: the bytes are counted as they come.
            total += static_cast<std::uint64_t>(n);
            if (total > limits.maxTotalBytes) {
                unzCloseCurrentFile(zip.get());
                return fail(error, "the archive unpacks too large");
            }
            data.insert(data.end(), buffer, buffer + n);
        }
        // A bad checksum shows up when the entry is closed.
        if (n < 0 || unzCloseCurrentFile(zip.get()) != UNZ_OK)
            return fail(error, "the archive is damaged: " + name);
        if (!writeNew(path, data))
            return fail(error, "cannot write " + name);
    }
    return true;
}
