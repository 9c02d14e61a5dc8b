#pragma once

#include "platform/foundation/RunLoop.h"

#include <memory>
#include <optional>
#include <string>

namespace pf {

// Whether the network can be reached, and over what. The device is on Wi-Fi when any network
// interface other than loopback is up with an address; tests set the status instead.
//
// Rules:
// - A probe (for the internet connection or for a host name) answers the device's status;
//   host names are not resolved.
// - A probe whose notifier is started posts its notification (sender: the probe) on the main
//   run loop each time the status it answers changes: at once for `setOverride`, and within
//   `kPollInterval` seconds of the loop's clock for changes of the system.
// - While the status is overridden as NotReachable, URL loading fails with "not connected".
class Reachability : public std::enable_shared_from_this<Reachability> {
public:
    enum class Status { NotReachable = 0, ViaWiFi = 1, ViaCellular = 2 };
    static constexpr const char* kChangedNotification = "MROSDKReachabilityChangedNotification";
    static constexpr double kPollInterval = 2.0;

    static std::shared_ptr<Reachability> forInternetConnection();
    static std::shared_ptr<Reachability> forHostName(std::string host);
    ~Reachability();

    Status currentReachabilityStatus() const { return currentStatus(); }
    bool isReachable() const { return currentStatus() != Status::NotReachable; }
    bool isReachableViaWiFi() const { return currentStatus() == Status::ViaWiFi; }
    const std::string& hostName() const { return m_host; }

    // The name posted on change; `kChangedNotification` unless set.
    void setNotificationName(std::string name) { m_notificationName = std::move(name); }
    const std::string& notificationName() const { return m_notificationName; }
    // Main thread. False when the system refuses to watch (see `setNotifiersAvailable`); the
    // probe then posts nothing.
    bool startNotifier();
    void stopNotifier();
    bool isNotifying() const { return m_notifying; }

    // The device's status: the override when set, else the system's.
    static Status currentStatus();
    static Status systemStatus();
    // Any thread. nullopt returns to the system's status.
    static void setOverride(std::optional<Status> status);
    static std::optional<Status> override();
    // Any thread. Whether the system lets notifiers start (it does unless set otherwise);
    // tests refuse them to see how callers cope.
    static void setNotifiersAvailable(bool available);

private:
    explicit Reachability(std::string host);
    void check();
    static void notifyAll();

    std::string m_host;
    std::string m_notificationName { kChangedNotification };
    bool m_notifying { false };
    Status m_lastStatus { Status::NotReachable };
    RunLoop::TaskId m_poll { 0 };
};

}
