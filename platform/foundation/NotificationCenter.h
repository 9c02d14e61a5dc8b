#pragma once

#include "platform/foundation/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pf {

struct Notification {
    std::string name;
    Value object;                      // what the poster hands along (the login reply, ...)
    std::shared_ptr<const void> sender; // who posted, for observers that filter by sender
    Value userInfo;
};

// Named in-process notifications, delivered synchronously on the posting thread.
//
// Rules:
// - Observers run in the order they registered.
// - An observer is identified by an owner object held weakly: once the owner is gone its
//   callbacks are skipped and pruned, so a screen that forgets to unregister is never called
//   after it died.
// - An observer may filter by sender (only notifications whose sender is that object).
// - Adding or removing observers while a post runs is safe: the post walks a snapshot, and an
//   observer removed during the post is not called afterwards.
class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;
    using Token = std::uint64_t;

    static NotificationCenter& defaultCenter();

    Token addObserver(std::weak_ptr<const void> owner, std::string name, Callback callback,
        std::shared_ptr<const void> sender = nullptr);
    void removeObserver(Token token);
    // Removes every registration of `owner` (for all names, or only `name` when given).
    void removeObserver(const void* owner, const std::string& name = {});

    void post(const Notification& notification);
    void post(const std::string& name, Value object = {}, std::shared_ptr<const void> sender = nullptr, Value userInfo = {});

    size_t observerCount(const std::string& name) const;
    void removeAll(); // test set-up

private:
    struct Entry {
        Token token;
        std::weak_ptr<const void> owner;
        const void* ownerKey;
        std::string name;
        std::shared_ptr<Callback> callback;
        std::weak_ptr<const void> sender;
        bool hasSender;
        std::shared_ptr<bool> alive;
    };
    std::vector<Entry> m_entries;
    Token m_next { 1 };
};

}
