#include "core/storage/FilePageSource.h"

#include "platform/foundation/RetryingReadVfs.h"

#include "platform/foundation/FileManager.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>

sqlite3_file* FilePageSource::file() const
{
    return reinterpret_cast<sqlite3_file*>(m_handle.get());
}

std::unique_ptr<FilePageSource> FilePageSource::open(const std::string& path)
{
    sqlite3_vfs* vfs = sqlite3_vfs_find(pf::RetryingReadVfs::name());
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
    source->m_dataEnd = std::min(pf::FileManager::dataEnd(path).value_or(source->m_size), source->m_size);
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
