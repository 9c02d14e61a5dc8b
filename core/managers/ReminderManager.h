#pragma once

#include "platform/foundation/RunLoop.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

class GiftDetailInfo;

// Reminds the user, while the app runs, of booked gifts that are about to open: every
// kInterval seconds on the main loop's clock a pass looks at the bookings and puts up a
// status-bar banner "<title>等即将可以开始领取了." for each gift opening more than kWindowStart
// and at most kWindowEnd seconds from now. With a one-minute period each gift falls into that
// window in exactly one pass.
//
// Rules:
// - One timer at most: starting again while it runs does nothing.
// - Every gift in the window gets its banner, earliest booking first; the banner queues them
//   and shows them one after the other.
// - Each gift is announced once, whatever the timer's lateness and whatever the user does to
//   the device's date: a pass covers the openings after the previous pass's far edge (the
//   first pass from kWindowStart on), up to kWindowEnd from now; an edge the date has fallen
//   behind (the date was set back) counts from kWindowStart, and a booking announced once
//   (its fid and opening) is not announced again while it is stored. Stopping forgets what
//   was covered and announced.
// - A store that cannot be read makes the pass do nothing.
// - The timer holds the manager weakly, so a manager that goes away is simply not called.
class ReminderManager : public std::enable_shared_from_this<ReminderManager> {
public:
    static constexpr double kInterval = 60.0;
    static constexpr double kWindowStart = 120.0;
    static constexpr double kWindowEnd = 180.0;
    static constexpr const char* kMessageSuffix = "等即将可以开始领取了.";

    static std::shared_ptr<ReminderManager> sharedInstance();

    void startReminider();
    void startTimer();
    void stopTimer();
    bool isRunning() const;

    // One pass (the timer's action).
    void checkGiftObtainInfo();

    // The banner text for a gift.
    static std::string reminderMessage(const GiftDetailInfo& gift);

private:
    ReminderManager() = default;

    // A booking as announced: its fid and opening date.
    using Announced = std::pair<int, long long>;

    std::optional<pf::RunLoop::TaskId> m_timer;
    std::optional<double> m_announcedUpTo; // the far edge of the last pass
    std::set<Announced> m_announced;        // of the bookings stored at the last pass
};
