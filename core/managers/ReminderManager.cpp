#include "core/managers/ReminderManager.h"

#include "core/managers/AppointmentManager.h"
#include "core/views/StatusBarNotification.h"

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
    // The list comes latest booking first; announce from the earliest booking on.
    for (auto it = bookings->rbegin(); it != bookings->rend(); ++it) {
        const double ahead = static_cast<double>((*it)->startTime()) - now;
        if (ahead > kWindowStart && ahead <= kWindowEnd)
            StatusBarNotification::notificationWithMessage(reminderMessage(**it));
    }
}
