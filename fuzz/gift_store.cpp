// The booked-gift store as a launch finds it on disk: the input is the whole database file.
// The launch's first read checks it and, when it is damaged, mends it into a new file within
// the mend's bounds. After that, whatever the file held: a booking reported as made must be in
// the live file and read back, the live file must be sound when the store could use it, and one
// damaged file leaves at most one file aside.
// fuzz-timeout: 8
#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/ResetRegistry.h"

#include <SQLiteCpp/Database.h>

#include <cstdlib>

namespace {

void removeStore(const std::string& path)
{
    for (const auto& aside : pf::FileManager::asidePaths(path))
        pf::FileManager::removeItem(aside);
    for (const char* suffix : { "", "-journal", "-wal", "-shm", ".rebuilt", ".rebuilt-journal", ".corrupt-journal", ".corrupt-wal",
             ".corrupt-shm" })
        pf::FileManager::removeItem(path + suffix);
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    const std::string path = DataBaseManager::databasePath();
    auto store = GiftDetailInfoDatabaseManager::sharedInstance();
    removeStore(path);
    pf::FileManager::createDirectory(path.substr(0, path.rfind('/')), true);
    pf::FileManager::writeAtomically(path, fuzz::bytes(data, size), nullptr, false);
    pf::ResetRegistry::resetAll(); // the next launch checks the file again

    auto listed = store->retrieveDataFromTable();
    GiftDetailInfo booking;
    booking.setFid(2'000'000'011);
    booking.setTitle("礼包");
    if (store->insertDataIntoTableWithGiftDetailInfo(booking) == DataBaseManager::Status::Ok) {
        auto found = store->retrieveDataFromTableWithFid(booking.fid());
        if (!found || found->title().text() != "礼包")
            std::abort();
    }
    if (listed) {
        try {
            SQLite::Database live(path, SQLite::OPEN_READONLY);
            if (live.execAndGet("PRAGMA quick_check").getString() != "ok")
                std::abort();
        } catch (const SQLite::Exception&) {
            std::abort();
        }
    }
    if (pf::FileManager::asidePaths(path).size() > 1)
        std::abort();
    return 0;
}
