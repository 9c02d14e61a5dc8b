#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>

namespace pf {

// A notification the system delivers to the app at a set time (a reminder scheduled on the
// device rather than sent from a server). A plain value: the app is told of one through
// `ApplicationDelegate::didReceiveLocalNotification` when it fires while the app runs.
struct LocalNotification {
    std::optional<Date> fireDate;
    std::string alertBody;
    std::string alertAction;
    std::string soundName;
    long long applicationIconBadgeNumber { 0 };
    Dictionary userInfo;

    // One line for the log: the class, then every field ("(null)" for an absent date or text).
    std::string description() const;

    bool operator==(const LocalNotification&) const = default;
};

}
