#include "platform/foundation/Reachability.h"

#include "platform/foundation/NotificationCenter.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include <ifaddrs.h>
#include <net/if.h>

namespace pf {

namespace {

std::mutex g_mutex;
std::optional<Reachability::Status> g_override;
std::vector<std::weak_ptr<Reachability>> g_notifying;
bool g_notifiersAvailable = true;

}

std::shared_ptr<Reachability> Reachability::forInternetConnection()
{
    return std::shared_ptr<Reachability>(new Reachability({}));
}

std::shared_ptr<Reachability> Reachability::forHostName(std::string host)
{
    return std::shared_ptr<Reachability>(new Reachability(std::move(host)));
}

Reachability::Reachability(std::string host)
    : m_host(std::move(host))
{
}

Reachability::~Reachability()
{
    if (m_poll)
        RunLoop::main().cancel(m_poll);
}

Reachability::Status Reachability::systemStatus()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return Status::NotReachable;
    bool up = false;
    for (ifaddrs* i = list; i && !up; i = i->ifa_next) {
        if (!i->ifa_addr || (i->ifa_flags & IFF_LOOPBACK) || !(i->ifa_flags & IFF_UP) || !(i->ifa_flags & IFF_RUNNING))
            continue;
        int family = i->ifa_addr->sa_family;
        up = family == AF_INET || family == AF_INET6;
    }
    freeifaddrs(list);
    return up ? Status::ViaWiFi : Status::NotReachable;
}

Reachability::Status Reachability::currentStatus()
{
    {
        std::lock_guard lock(g_mutex);
        if (g_override)
            return *g_override;
    }
    return systemStatus();
}

std::optional<Reachability::Status> Reachability::override()
{
    std::lock_guard lock(g_mutex);
    return g_override;
}

void Reachability::setOverride(std::optional<Status> status)
{
    {
        std::lock_guard lock(g_mutex);
        g_override = status;
    }
    RunLoop::main().post([] { notifyAll(); });
}

void Reachability::setNotifiersAvailable(bool available)
{
    std::lock_guard lock(g_mutex);
    g_notifiersAvailable = available;
}

void Reachability::notifyAll()
{
    std::vector<std::shared_ptr<Reachability>> probes;
    {
        std::lock_guard lock(g_mutex);
        for (auto& weak : g_notifying)
            if (auto probe = weak.lock())
                probes.push_back(std::move(probe));
    }
    for (auto& probe : probes)
        probe->check();
}

bool Reachability::startNotifier()
{
    if (m_notifying)
        return true;
    {
        std::lock_guard lock(g_mutex);
        if (!g_notifiersAvailable)
            return false;
    }
    m_notifying = true;
    m_lastStatus = currentStatus();
    {
        std::lock_guard lock(g_mutex);
        g_notifying.erase(std::remove_if(g_notifying.begin(), g_notifying.end(), [](auto& w) { return w.expired(); }), g_notifying.end());
        g_notifying.push_back(weak_from_this());
    }
    std::weak_ptr<Reachability> weak = weak_from_this();
    m_poll = RunLoop::main().postRepeating(kPollInterval, [weak] {
        if (auto self = weak.lock())
            self->check();
    });
    return true;
}

void Reachability::stopNotifier()
{
    if (!m_notifying)
        return;
    m_notifying = false;
    if (m_poll)
        RunLoop::main().cancel(m_poll);
    m_poll = 0;
    std::lock_guard lock(g_mutex);
    g_notifying.erase(std::remove_if(g_notifying.begin(), g_notifying.end(), [this](auto& w) {
        auto p = w.lock();
        return !p || p.get() == this;
    }),
        g_notifying.end());
}

void Reachability::check()
{
    if (!m_notifying)
        return;
    Status now = currentStatus();
    if (now == m_lastStatus)
        return;
    m_lastStatus = now;
    NotificationCenter::defaultCenter().post(m_notificationName, Value(), shared_from_this());
}

}
