#pragma once

#include "core/storage/PageSource.h"

#include <memory>
#include <string>

struct sqlite3_file;

// A damaged file's bytes read through RetryingReadVfs, as every read of the store is: a read the
// disk refuses is made again a few times before it counts as refused, and a part refused at every
// try fails at once when read again. The file is opened to read only, without a lock or its
// journal (it is read as it stands); nothing is mapped.
class FilePageSource : public PageSource {
public:
    // None when the file cannot be opened.
    static std::unique_ptr<FilePageSource> open(const std::string& path);
    ~FilePageSource() override;

    std::uint64_t size() const override { return m_size; }
    std::uint64_t dataEnd() const override { return m_dataEnd; }
    Read read(std::uint64_t offset, std::size_t length, std::uint8_t* into) override;

private:
    FilePageSource() = default;
    std::unique_ptr<std::uint8_t[]> m_handle; // the file system's handle for the opened file
    std::uint64_t m_size = 0;
    std::uint64_t m_dataEnd = 0;

    sqlite3_file* file() const;
};
