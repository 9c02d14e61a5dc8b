#pragma once

#include "core/records/GiftDetailInfo.h"
#include "core/storage/DataBaseManager.h"

#include <memory>
#include <optional>

// The booked gifts: one row of the table "GiftDetailInfoTableName" per gift, keyed by fid.
//
// Rules:
// - A gift is stored at most once; booking it again leaves the first row (and its booking
//   time) as it was, logs "Record existed." and answers Existed.
// - Booking sets the record's `indexInTable` to the booking time (whole seconds on the main
//   loop's clock); the caller's record changes too. Lists come latest booking first.
// - Texts are stored as they read (`RecordText::text()`): an absent or null text is stored as
//   the empty text and reads back as the empty text, never as a placeholder word.
// - "abouts" holds a keyed archive of the related gifts. It reads back as a list, empty when
//   there were none or when the archive is refused (damaged or not of related gifts).
// - Failures are answered (Failed, or no list) and logged; see DataBaseManager.
class GiftDetailInfoDatabaseManager : public DataBaseManager {
public:
    static std::shared_ptr<GiftDetailInfoDatabaseManager> sharedInstance();

    Status createTable();
    // Every booked gift, latest booking first; nullopt when the store could not be read.
    std::optional<GiftDetailInfo::List> retrieveDataFromTable();
    // The gift stored under `fid`: nullptr when there is none or the store could not be read
    // (`status`, when given, says which: Ok, NotFound or Failed).
    std::shared_ptr<GiftDetailInfo> retrieveDataFromTableWithFid(int fid, Status* status = nullptr);
    // Ok (booked), Existed or Failed.
    Status insertDataIntoTableWithGiftDetailInfo(GiftDetailInfo& info);
    // Whether a gift with the record's fid is stored (false also when the store cannot be read).
    bool isInfoExisted(const GiftDetailInfo& info);
    // Removes every gift whose start time is before `limit` (seconds since 1970). Ok or Failed.
    Status deleteRecordInTableOutOfDateTime(long long limit);
    // Rewrites every column of the row with the record's fid: Ok, NotFound or Failed.
    Status updateRecordInTable(const GiftDetailInfo& info);

protected:
    GiftDetailInfoDatabaseManager() = default;
    void prepare(SQLite::Database& database) override;
};
