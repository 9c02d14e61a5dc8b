// The record a mend of the booked store leaves beside its working file when the file system has
// no hard links: the aside name the damaged file was moved to, then its inode and size. The input
// is the record's bytes (its first "@" standing for the moved copy's inode and size), as a launch
// finds them after a mend killed between moving the damaged file and its journal: the store
// missing, the mended file finished at its working name, the journal still at the store's name,
// an older copy aside. Whatever the record says, the launch puts the mended file in place and its
// working names are cleared, the journal leaves the store's name, never for the older copy, and
// for the moved copy when the record names it exactly.
// fuzz-timeout: 8
#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/ResetRegistry.h"

#include <SQLiteCpp/Database.h>

#include <cstdlib>
#include <string_view>
#include <sys/stat.h>

namespace {

void removeFolder(const std::string& folder)
{
    for (const auto& name : pf::FileManager::contentsOfDirectory(folder))
        pf::FileManager::removeItem(pf::FileManager::join(folder, name));
}

void makeDatabase(const std::string& path, const char* table)
{
    SQLite::Database db(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    db.exec(std::string("CREATE TABLE ") + table + " (n INTEGER)");
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    const std::string path = DataBaseManager::databasePath();
    const std::string folder = path.substr(0, path.rfind('/'));
    pf::FileManager::createDirectory(folder, true);
    removeFolder(folder);
    auto store = GiftDetailInfoDatabaseManager::sharedInstance();
    // The mended file, finished under its working name: a store of its own, made once.
    {
        pf::ResetRegistry::resetAll();
        GiftDetailInfo kept;
        kept.setFid(7);
        kept.setTitle("礼包");
        store->insertDataIntoTableWithGiftDetailInfo(kept);
    }
    if (!pf::FileManager::moveItem(path, path + ".rebuilt"))
        std::abort();
    makeDatabase(pf::FileManager::asidePath(path, 1), "damaged");
    makeDatabase(pf::FileManager::asidePath(path, 2), "older");
    pf::FileManager::writeAtomically(path + "-journal", std::string_view("a journal left behind"));
    struct stat moved {};
    ::stat(pf::FileManager::asidePath(path, 1).c_str(), &moved);
    const std::string identity = std::to_string(moved.st_ino) + " " + std::to_string(moved.st_size);
    std::string record(reinterpret_cast<const char*>(data), size);
    if (const size_t at = record.find('@'); at != std::string::npos)
        record.replace(at, 1, identity);
    pf::FileManager::writeAtomically(path + ".rebuilt.aside", pf::Bytes(record.begin(), record.end()), nullptr, false);

    pf::ResetRegistry::resetAll(); // the next launch finds what the kill left
    auto found = store->retrieveDataFromTableWithFid(7);
    if (!found || pf::FileManager::exists(path + "-journal"))
        std::abort();
    if (pf::FileManager::exists(path + ".rebuilt") || pf::FileManager::exists(path + ".rebuilt.aside"))
        std::abort();
    if (pf::FileManager::exists(pf::FileManager::asidePath(path, 2) + "-journal"))
        std::abort();
    if (record == "GameDatabase.sqlite.corrupt\n" + identity + "\n" && !pf::FileManager::exists(pf::FileManager::asidePath(path, 1) + "-journal"))
        std::abort();
    return 0;
}
