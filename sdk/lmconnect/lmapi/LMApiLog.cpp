#include "sdk/lmconnect/lmapi/LMApiLog.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Sandbox.h"

#include <cassert>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct LogState {
    std::mutex mutex;
    std::FILE* file { nullptr };
};

// Closes the file; the next line opens it again.
void closeLog(LogState& s)
{
    std::lock_guard lock(s.mutex);
    if (s.file)
        std::fclose(s.file);
    s.file = nullptr;
}

// Never destroyed; a new launch (a fresh documents folder) closes the file.
LogState& state()
{
    static LogState* s = [] {
        auto* made = new LogState;
        pf::ResetRegistry::add([made] { closeLog(*made); });
        return made;
    }();
    return *s;
}

std::tm localParts(double date, int* millis)
{
    double seconds = std::floor(date);
    *millis = static_cast<int>((date - seconds) * 1000);
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts {};
    localtime_r(&t, &parts);
    return parts;
}

// What a trim killed part-way left: its copy, not yet renamed over the log (the log is whole),
// or, from versions that removed the log before that rename, the trimmed log itself, which takes
// the log's name again. Anything else at the copy's name is not the log's, and stays.
void settleTrimmedCopy(const fs::path& log)
{
    fs::path temp = log.parent_path() / LMApiLogFile::kTempFileName;
    if (!pf::FileManager::isOwnFile(temp))
        return;
    std::error_code error;
    if (fs::symlink_status(log, error).type() == fs::file_type::not_found)
        fs::rename(temp, log, error);
    else
        fs::remove(temp, error);
}

// Keeps the last kKeptSize bytes of a log larger than kMaxSize, in a copy renamed over it in one
// step; leaves it as it is when either file cannot be opened.
void cutIfLarge(const fs::path& log)
{
    std::error_code error;
    std::uintmax_t size = fs::file_size(log, error);
    if (error || size <= LMApiLogFile::kMaxSize)
        return;
    fs::path temp = log.parent_path() / LMApiLogFile::kTempFileName;
    std::FILE* in = std::fopen(log.c_str(), "rb");
    // A new file: whatever lies at the name already (not the log's, see above) is neither
    // followed nor written over.
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    std::FILE* out = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (fd >= 0 && !out)
        ::close(fd);
    if (!in || !out) {
        if (in)
            std::fclose(in);
        if (out)
            std::fclose(out);
        if (fd >= 0)
            fs::remove(temp, error);
        return;
    }
    bool copied = fseeko(in, static_cast<off_t>(size - LMApiLogFile::kKeptSize), SEEK_SET) == 0;
    std::vector<char> block(16384);
    while (copied) {
        size_t n = std::fread(block.data(), 1, block.size(), in);
        if (n == 0) {
            // A read that failed is no end of the log: the cut copy would lose what follows.
            copied = !std::ferror(in);
            break;
        }
        copied = std::fwrite(block.data(), 1, n, out) == n;
    }
    std::fclose(in);
    copied = std::fclose(out) == 0 && copied;
    if (copied)
        fs::rename(temp, log, error);
    if (!copied || error)
        fs::remove(temp, error);
}

std::FILE* openLog()
{
    fs::path log = fs::path(pf::Sandbox::current()->documentsPath()) / LMApiLogFile::kFileName;
    settleTrimmedCopy(log);
    cutIfLarge(log);
    std::FILE* file = std::fopen(log.c_str(), "a+");
    if (!file)
        return nullptr;
    int millis = 0;
    std::tm t = localParts(pf::Clock::shared().now(), &millis);
    std::fprintf(file, "\n\n\n\n\n********** BEGIN LOG ON %04d-%02d-%02d %02d:%02d:%02d **********\n", t.tm_year + 1900, t.tm_mon + 1,
        t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    std::fflush(file);
    return file;
}

}

size_t LMApiGetLastPathComponent(const char* path, char (&buffer)[64])
{
    buffer[0] = 0;
    if (!path)
        return 0;
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    size_t length = std::min<size_t>(std::strlen(name), sizeof(buffer) - 1);
    std::memcpy(buffer, name, length);
    buffer[length] = 0;
    return length;
}

void LMApiLog(const char* sourceFile, int line, const char* format, ...)
{
    assert(format);
    if (!format)
        return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string message(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(message.data(), message.size() + 1, format, args);
    va_end(args);

    int millis = 0;
    std::tm t = localParts(pf::Clock::shared().now(), &millis);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%.4d-%.2d-%.2d:%.2d:%.2d:%.2d:%.3d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
        t.tm_min, t.tm_sec, millis);
    char file[64];
    std::string place;
    if (LMApiGetLastPathComponent(sourceFile, file) > 0)
        place = std::string(file) + ":" + std::to_string(line) + " ";

    // Both lines under one lock, so that lines of two threads come in the same order in the
    // app's log and in the file. The app's log, not standard output: that carries only what the
    // app shows.
    auto& s = state();
    std::lock_guard lock(s.mutex);
    pf::Log::format("%s -LMAPI- %s%s", stamp, place.c_str(), message.c_str());
    if (!s.file)
        s.file = openLog();
    if (s.file) {
        std::fprintf(s.file, "%s-LMAPI- %s%s\n", stamp, place.c_str(), message.c_str());
        std::fflush(s.file);
    }
}
