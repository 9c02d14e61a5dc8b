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
//   there were none or when the archive is refused (damaged, or holding an object of another
//   class); items that are plain values (texts, numbers, plain lists...) are skipped.
// - An update writes only what it changes, so what a read could not take in (a refused or
//   partly skipped related list) is never written over with what the read made of it.
// - Failures are answered (Failed, or no list) and logged; see DataBaseManager.
// - When a damaged file is mended, the bookings that still read whole are kept with their
//   values as stored: a fid the record can hold, a title (a text), whole numbers in the integer
//   columns, texts or NULL in the other text columns (an absent text reads as the empty text),
//   the related gifts' archive or NULL in "abouts". A NULL where a number belongs is refused:
//   every version of the store writes a number there, and a row cut short by damage reads so
//   (its times as 1970).
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
    // Writes to the row with the record's fid the columns whose values differ from what that
    // row reads as (all in one transaction): Ok, NotFound or Failed.
    Status updateRecordInTable(const GiftDetailInfo& info);

protected:
    GiftDetailInfoDatabaseManager() = default;
    void prepare(SQLite::Database& database) override;
    std::vector<SalvagedTable> salvagedTables() const override;
};
