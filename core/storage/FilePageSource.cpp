#include "core/storage/FilePageSource.h"

#include "core/storage/RetryingReadVfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include <limits>

namespace {

// Where the last of the file's data ends, by the file system's own map of its holes; the size
// where it keeps no such map, or the file has more than a few thousand stretches of data (they
// are not walked one by one for ever).
std::uint64_t dataEndOf(const std::string& path, std::uint64_t size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return size;
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

}

sqlite3_file* FilePageSource::file() const
{
    return reinterpret_cast<sqlite3_file*>(m_handle.get());
}

std::unique_ptr<FilePageSource> FilePageSource::open(const std::string& path)
{
    sqlite3_vfs* vfs = sqlite3_vfs_find(RetryingReadVfs::name());
    if (!vfs)
        return nullptr;
    std::unique_ptr<FilePageSource> source(new FilePageSource());
    source->m_handle = std::make_unique<std::uint8_t[]>(static_cast<size_t>(vfs->szOsFile));
    auto* file = source->file();
    file->pMethods = nullptr;
    // The name as SQLite hands it to a file system (parameters may be looked up after it).
    sqlite3_filename name = sqlite3_create_filename(path.c_str(), "", "", 0, nullptr);
    int flags = 0;
    const int code = vfs->xOpen(vfs, name, file, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB, &flags);
    sqlite3_free_filename(name);
    if (code != SQLITE_OK) {
        if (file->pMethods)
            file->pMethods->xClose(file);
        file->pMethods = nullptr;
        return nullptr;
    }
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK || size < 0)
        return nullptr;
    source->m_size = static_cast<std::uint64_t>(size);
    source->m_dataEnd = dataEndOf(path, source->m_size);
    return source;
}

FilePageSource::~FilePageSource()
{
    if (m_handle && file()->pMethods)
        file()->pMethods->xClose(file());
}

PageSource::Read FilePageSource::read(std::uint64_t offset, std::size_t length, std::uint8_t* into)
{
    if (length > static_cast<std::size_t>(std::numeric_limits<int>::max())
        || offset > static_cast<std::uint64_t>(std::numeric_limits<sqlite3_int64>::max()) - length)
        return Read::Refused;
    if (offset + length > m_size)
        return Read::Refused;
    const int code = file()->pMethods->xRead(file(), into, static_cast<int>(length), static_cast<sqlite3_int64>(offset));
    if (code == SQLITE_OK)
        return Read::Ok;
    // What the file does not hold (it was cut short since its size was read), or what the disk
    // refused at every try (a bad sector), is not there for good; anything else may pass.
    if (code == SQLITE_IOERR_SHORT_READ || code == SQLITE_IOERR_CORRUPTFS)
        return Read::Refused;
    return Read::Failed;
}
