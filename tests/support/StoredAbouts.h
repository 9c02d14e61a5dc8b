#pragma once

#include "core/storage/DataBaseManager.h"
#include "platform/foundation/Value.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace testsupport {

// The related gifts' archive of the booked gift `fid` as it lies in the file.
inline pf::Bytes storedAbouts(int fid)
{
    SQLite::Database db(DataBaseManager::databasePath(), SQLite::OPEN_READONLY);
    SQLite::Statement query(db, "SELECT abouts FROM GiftDetailInfoTableName WHERE fid = ?");
    query.bind(1, fid);
    if (!query.executeStep())
        return {};
    const auto* bytes = static_cast<const std::uint8_t*>(query.getColumn(0).getBlob());
    return pf::Bytes(bytes, bytes + query.getColumn(0).getBytes());
}

// Puts under the booked gift `fid` an archive the app would not write itself (another version's
// list, a damaged one).
inline void storeAbouts(int fid, const pf::Bytes& archive)
{
    SQLite::Database db(DataBaseManager::databasePath(), SQLite::OPEN_READWRITE);
    SQLite::Statement update(db, "UPDATE GiftDetailInfoTableName SET abouts = ? WHERE fid = ?");
    update.bind(1, archive.data(), static_cast<int>(archive.size()));
    update.bind(2, fid);
    update.exec();
}

}
