#pragma once

#include "core/records/GiftDetailInfo.h"
#include "core/storage/DataBaseManager.h"

#include <memory>
#include <optional>

// The user's bookings ("预约") of gifts that have not opened yet, kept in the booked-gift store.
//
// Rules:
// - Booking a gift already booked keeps the first booking (Existed).
// - A booking stays until one day after its gift opened: the purge removes exactly the
//   bookings whose opening time lies more than kKeepAfterOpening seconds before now.
// - Every operation answers how it went; a caller must not report a booking that Failed.
class AppointmentManager {
public:
    static constexpr double kKeepAfterOpening = 86400;

    static std::shared_ptr<AppointmentManager> sharedInstance();

    // Ok, Existed or Failed; on Ok the record's `indexInTable` is its booking time.
    DataBaseManager::Status addGiftAppointment(GiftDetailInfo& info);
    // Every booking, latest first; nullopt when the store could not be read.
    std::optional<GiftDetailInfo::List> allAppointmentInfo();
    // Ok or Failed.
    DataBaseManager::Status removeOutDateAppointment();

private:
    AppointmentManager() = default;
};
