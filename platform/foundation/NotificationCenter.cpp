#include "platform/foundation/NotificationCenter.h"

#include "platform/foundation/RunLoop.h"
#include <algorithm>

namespace pf {

NotificationCenter& NotificationCenter::defaultCenter()
{
    // Never destroyed: what a worker lets go of at the end may still remove its observers.
    static auto& center = *new NotificationCenter;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::weak_ptr<const void> owner, std::string name,
    Callback callback, std::shared_ptr<const void> sender)
{
    Token token = m_next++;
    const void* key = nullptr;
    if (auto locked = owner.lock())
        key = locked.get();
    m_entries.push_back(Entry { token, std::move(owner), key, std::move(name),
        std::make_shared<Callback>(std::move(callback)), sender, sender != nullptr, std::make_shared<bool>(true) });
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    PF_ASSERT_MAIN_THREAD();
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->token == token) {
            *it->alive = false;
            m_entries.erase(it);
            return;
        }
    }
}

void NotificationCenter::removeObserver(const void* owner, const std::string& name)
{
    std::erase_if(m_entries, [&](Entry& e) {
        bool match = e.ownerKey == owner && (name.empty() || e.name == name);
        if (match)
            *e.alive = false;
        return match;
    });
}

void NotificationCenter::post(const Notification& notification)
{
    PF_ASSERT_MAIN_THREAD();
    // Prune observers whose owners died, then walk a snapshot.
    std::erase_if(m_entries, [](Entry& e) {
        bool dead = e.owner.expired();
        if (dead)
            *e.alive = false;
        return dead;
    });
    std::vector<Entry> snapshot;
    for (auto& e : m_entries)
        if (e.name == notification.name)
            snapshot.push_back(e);
    for (auto& e : snapshot) {
        if (!*e.alive)
            continue;
        auto owner = e.owner.lock();
        if (!owner)
            continue;
        if (e.hasSender) {
            auto wanted = e.sender.lock();
            if (!wanted || wanted.get() != notification.sender.get())
                continue;
        }
        (*e.callback)(notification);
    }
}

void NotificationCenter::post(const std::string& name, Value object, std::shared_ptr<const void> sender, Value userInfo)
{
    post(Notification { name, std::move(object), std::move(sender), std::move(userInfo) });
}

size_t NotificationCenter::observerCount(const std::string& name) const
{
    return static_cast<size_t>(std::count_if(m_entries.begin(), m_entries.end(),
        [&](const Entry& e) { return e.name == name && !e.owner.expired(); }));
}

void NotificationCenter::removeAll()
{
    for (auto& e : m_entries)
        *e.alive = false;
    m_entries.clear();
}

}
