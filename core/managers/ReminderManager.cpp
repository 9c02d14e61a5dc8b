#include "core/managers/ReminderManager.h"

#include "core/managers/AppointmentManager.h"
#include "core/views/StatusBarNotification.h"

#include <algorithm>
#include <utility>

std::shared_ptr<ReminderManager> ReminderManager::sharedInstance()
{
    static std::shared_ptr<ReminderManager> instance(new ReminderManager());
    return instance;
}

void ReminderManager::startReminider()
{
    startTimer();
}

bool ReminderManager::isRunning() const
{
    // A timer the loop no longer holds (the loop was emptied) counts as stopped.
    return m_timer && pf::RunLoop::main().isScheduled(*m_timer);
}

void ReminderManager::startTimer()
{
    if (isRunning())
        return;
    std::weak_ptr<ReminderManager> weakSelf = weak_from_this();
    m_timer = pf::RunLoop::main().postRepeating(kInterval, [weakSelf] {
        if (auto self = weakSelf.lock())
            self->checkGiftObtainInfo();
    }, this);
}

void ReminderManager::stopTimer()
{
    if (m_timer)
        pf::RunLoop::main().cancel(*m_timer);
    m_timer.reset();
    m_announcedUpTo.reset();
    m_announced.clear();
}

std::string ReminderManager::reminderMessage(const GiftDetailInfo& gift)
{
    return gift.title().text() + kMessageSuffix;
}

void ReminderManager::checkGiftObtainInfo()
{
    auto bookings = AppointmentManager::sharedInstance()->allAppointmentInfo();
    if (!bookings)
        return;
    const double now = pf::RunLoop::main().now();
    // A pass covers the openings after what the previous pass covered, up to the window's far
    // edge: a pass that runs late (the main loop was busy) catches up on what it would have
    // missed. Gifts already open are left out. The covered edge is a date, and the user may set
    // the device's date back: an edge beyond the window's near edge counts from there, so the
    // passes go on, and a gift seen before is not announced again.
    const double from = m_announcedUpTo ? std::clamp(*m_announcedUpTo, now, now + kWindowStart) : now + kWindowStart;
    const double to = now + kWindowEnd;
    m_announcedUpTo = to;
    std::set<Announced> stillBooked;
    // The list comes latest booking first; announce from the earliest booking on.
    for (auto it = bookings->rbegin(); it != bookings->rend(); ++it) {
        const Announced key { (*it)->fid(), (*it)->startTime() };
        const double opens = static_cast<double>(key.second);
        if (m_announced.count(key) == 0) {
            if (opens <= from || opens > to)
                continue;
            StatusBarNotification::notificationWithMessage(reminderMessage(**it));
        }
        stillBooked.insert(key);
    }
    // Only bookings still stored are remembered, so the set never outgrows the store.
    m_announced = std::move(stillBooked);
}
