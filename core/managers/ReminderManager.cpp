#include "core/managers/ReminderManager.h"

#include "core/managers/AppointmentManager.h"
#include "core/views/StatusBarNotification.h"

#include <algorithm>

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
    // missed, and one that runs early announces nothing twice. Gifts already open are left out.
    const double from = m_announcedUpTo ? std::max(*m_announcedUpTo, now) : now + kWindowStart;
    const double to = now + kWindowEnd;
    if (to <= from)
        return;
    m_announcedUpTo = to;
    // The list comes latest booking first; announce from the earliest booking on.
    for (auto it = bookings->rbegin(); it != bookings->rend(); ++it) {
        const double opens = static_cast<double>((*it)->startTime());
        if (opens > from && opens <= to)
            StatusBarNotification::notificationWithMessage(reminderMessage(**it));
    }
}
