#include "platform/foundation/LocalNotification.h"

#include "platform/foundation/DateFormatter.h"

namespace pf {

namespace {

std::string textOrNull(const std::string& text)
{
    return text.empty() ? "(null)" : text;
}

}

std::string LocalNotification::description() const
{
    std::string fire = fireDate ? DateFormatter("yyyy-MM-dd HH:mm:ss Z").string(*fireDate) : "(null)";
    return "<LocalNotification>{fire date = " + fire + ", alert body = " + textOrNull(alertBody)
        + ", alert action = " + textOrNull(alertAction) + ", sound name = " + textOrNull(soundName)
        + ", application icon badge number = " + std::to_string(applicationIconBadgeNumber)
        + ", user info = " + Value(userInfo).debugDescription() + "}";
}

}
