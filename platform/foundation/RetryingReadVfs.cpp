#include "platform/foundation/RetryingReadVfs.h"

#include <sqlite3.h>

#include <cerrno>
#include <map>
#include <optional>

namespace pf {

namespace {

constexpr const char* kName = "quorvane-retrying-reads";

// An opened file: SQLite's handle, then the default file system's own handle for the same file
// right after it (`szOsFile` makes room for both).
struct RetryingFile {
    sqlite3_file base;
    sqlite3_file* real;
    // The reads (offset and length) that failed at every try, with the code they failed with;
    // made at the first such read, freed at close. A read of another length at the same offset
    // is another part of the file: a page read where a larger read failed may still read.
    std::map<std::pair<sqlite3_int64, int>, int>* failing;
};

sqlite3_vfs* g_real = nullptr;
// Counted for each thread: the reads of a call are made on the thread that called.
thread_local std::uint64_t t_refused = 0;
thread_local std::uint64_t t_otherFailures = 0;

sqlite3_file* realOf(sqlite3_file* file)
{
    return reinterpret_cast<RetryingFile*>(file)->real;
}

// A read that failed, as opposed to one that ended at the file's end (SQLite fills the rest
// with zeros and reads on) or one that ran out of memory.
bool failedRead(int code)
{
    return code == SQLITE_IOERR_CORRUPTFS || code == SQLITE_IOERR_READ;
}

// A read that gave up after waiting its time (a network file system's server away): made again
// at once, it would only wait as long again, on the thread that waits for the store.
bool timedOut(sqlite3_file* real)
{
    int error = 0;
    return real->pMethods->xFileControl(real, SQLITE_FCNTL_LAST_ERRNO, &error) == SQLITE_OK && error == ETIMEDOUT;
}

// The code the read of `amount` bytes at `offset` failed with at every try, when it did.
std::optional<int> knownFailure(const RetryingFile& file, sqlite3_int64 offset, int amount)
{
    if (!file.failing)
        return std::nullopt;
    auto found = file.failing->find({ offset, amount });
    return found == file.failing->end() ? std::nullopt : std::optional<int>(found->second);
}

int readRetrying(sqlite3_file* handle, void* buffer, int amount, sqlite3_int64 offset)
{
    auto* file = reinterpret_cast<RetryingFile*>(handle);
    int code;
    // A part that failed at every try already fails at once: it is not read again, through this
    // opening of the file, however often SQLite comes back to it.
    if (auto known = knownFailure(*file, offset, amount)) {
        code = *known;
    } else {
        code = file->real->pMethods->xRead(file->real, buffer, amount, offset);
        if (failedRead(code) && !timedOut(file->real)
            && (!file->failing || file->failing->size() < RetryingReadVfs::kRememberedOffsets)) {
            for (int retry = 0; failedRead(code) && retry < RetryingReadVfs::kRetriesPerRead; ++retry)
                code = file->real->pMethods->xRead(file->real, buffer, amount, offset);
            if (failedRead(code)) {
                if (!file->failing)
                    file->failing = new std::map<std::pair<sqlite3_int64, int>, int>();
                file->failing->emplace(std::make_pair(offset, amount), code);
            }
        }
    }
    if (code == SQLITE_IOERR_CORRUPTFS)
        ++t_refused;
    else if (code != SQLITE_OK && code != SQLITE_IOERR_SHORT_READ)
        ++t_otherFailures;
    return code;
}

int closeFile(sqlite3_file* handle)
{
    auto* file = reinterpret_cast<RetryingFile*>(handle);
    delete file->failing;
    file->failing = nullptr;
    return file->real->pMethods->xClose(file->real);
}

// A method of the opened file that only hands the call to the real handle.
template <auto Method> struct ToRealFile;
template <typename R, typename... Args, R (*sqlite3_io_methods::*Method)(sqlite3_file*, Args...)>
struct ToRealFile<Method> {
    static R call(sqlite3_file* file, Args... args) { return (realOf(file)->pMethods->*Method)(realOf(file), args...); }
};

// Shared memory exists only for write-ahead logs; a file system without it refuses.
int shmMap(sqlite3_file* file, int region, int size, int extend, void volatile** memory)
{
    const auto* methods = realOf(file)->pMethods;
    return methods->iVersion >= 2 ? methods->xShmMap(realOf(file), region, size, extend, memory) : SQLITE_IOERR_SHMMAP;
}

int shmLock(sqlite3_file* file, int offset, int count, int flags)
{
    const auto* methods = realOf(file)->pMethods;
    return methods->iVersion >= 2 ? methods->xShmLock(realOf(file), offset, count, flags) : SQLITE_IOERR_SHMLOCK;
}

void shmBarrier(sqlite3_file* file)
{
    const auto* methods = realOf(file)->pMethods;
    if (methods->iVersion >= 2)
        methods->xShmBarrier(realOf(file));
}

int shmUnmap(sqlite3_file* file, int deleteFlag)
{
    const auto* methods = realOf(file)->pMethods;
    return methods->iVersion >= 2 ? methods->xShmUnmap(realOf(file), deleteFlag) : SQLITE_OK;
}

// No page is handed out mapped: SQLite then reads it through `readRetrying`.
int fetchPage(sqlite3_file*, sqlite3_int64, int, void** page)
{
    *page = nullptr;
    return SQLITE_OK;
}

int unfetchPage(sqlite3_file*, sqlite3_int64, void*)
{
    return SQLITE_OK;
}

const sqlite3_io_methods kMethods {
    3,
    closeFile,
    readRetrying,
    ToRealFile<&sqlite3_io_methods::xWrite>::call,
    ToRealFile<&sqlite3_io_methods::xTruncate>::call,
    ToRealFile<&sqlite3_io_methods::xSync>::call,
    ToRealFile<&sqlite3_io_methods::xFileSize>::call,
    ToRealFile<&sqlite3_io_methods::xLock>::call,
    ToRealFile<&sqlite3_io_methods::xUnlock>::call,
    ToRealFile<&sqlite3_io_methods::xCheckReservedLock>::call,
    ToRealFile<&sqlite3_io_methods::xFileControl>::call,
    ToRealFile<&sqlite3_io_methods::xSectorSize>::call,
    ToRealFile<&sqlite3_io_methods::xDeviceCharacteristics>::call,
    shmMap,
    shmLock,
    shmBarrier,
    shmUnmap,
    fetchPage,
    unfetchPage,
};

int openFile(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* handle, int flags, int* outFlags)
{
    auto* file = reinterpret_cast<RetryingFile*>(handle);
    file->base.pMethods = nullptr;
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    file->failing = nullptr;
    int code = g_real->xOpen(g_real, name, file->real, flags, outFlags);
    // SQLite closes what has methods, even after a failed open: the real handle then needs it.
    if (file->real->pMethods)
        file->base.pMethods = &kMethods;
    return code;
}

// A method of the file system that only hands the call to the default one.
template <auto Method> struct ToRealVfs;
template <typename R, typename... Args, R (*sqlite3_vfs::*Method)(sqlite3_vfs*, Args...)>
struct ToRealVfs<Method> {
    static R call(sqlite3_vfs*, Args... args) { return (g_real->*Method)(g_real, args...); }
};

int lastError(sqlite3_vfs*, int size, char* message)
{
    return g_real->xGetLastError ? g_real->xGetLastError(g_real, size, message) : 0;
}

int currentTimeInt64(sqlite3_vfs*, sqlite3_int64* now)
{
    if (g_real->iVersion >= 2 && g_real->xCurrentTimeInt64)
        return g_real->xCurrentTimeInt64(g_real, now);
    double days = 0;
    int code = g_real->xCurrentTime(g_real, &days);
    *now = static_cast<sqlite3_int64>(days * 86'400'000.0);
    return code;
}

}

const char* RetryingReadVfs::name()
{
    static const char* registered = [] {
        g_real = sqlite3_vfs_find(nullptr);
        static sqlite3_vfs vfs {};
        vfs.iVersion = 2;
        vfs.szOsFile = static_cast<int>(sizeof(RetryingFile)) + g_real->szOsFile;
        vfs.mxPathname = g_real->mxPathname;
        vfs.zName = kName;
        vfs.xOpen = openFile;
        vfs.xDelete = ToRealVfs<&sqlite3_vfs::xDelete>::call;
        vfs.xAccess = ToRealVfs<&sqlite3_vfs::xAccess>::call;
        vfs.xFullPathname = ToRealVfs<&sqlite3_vfs::xFullPathname>::call;
        vfs.xDlOpen = ToRealVfs<&sqlite3_vfs::xDlOpen>::call;
        vfs.xDlError = ToRealVfs<&sqlite3_vfs::xDlError>::call;
        vfs.xDlSym = ToRealVfs<&sqlite3_vfs::xDlSym>::call;
        vfs.xDlClose = ToRealVfs<&sqlite3_vfs::xDlClose>::call;
        vfs.xRandomness = ToRealVfs<&sqlite3_vfs::xRandomness>::call;
        vfs.xSleep = ToRealVfs<&sqlite3_vfs::xSleep>::call;
        vfs.xCurrentTime = ToRealVfs<&sqlite3_vfs::xCurrentTime>::call;
        vfs.xGetLastError = lastError;
        vfs.xCurrentTimeInt64 = currentTimeInt64;
        sqlite3_vfs_register(&vfs, 0);
        return kName;
    }();
    return registered;
}

RetryingReadVfs::Failures RetryingReadVfs::failures()
{
    return { t_refused, t_otherFailures };
}

}
