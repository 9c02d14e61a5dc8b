#include "platform/foundation/NotificationCenter.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

using namespace pf;

TEST(NotificationCenter, ObserversRunInRegistrationOrderWithTheObject)
{
    TaskEnvironment env;
    auto& center = NotificationCenter::defaultCenter();
    auto first = std::make_shared<int>(1);
    auto second = std::make_shared<int>(2);
    std::vector<std::string> calls;
    center.addObserver(first, "UserLogin", [&](const Notification& n) { calls.push_back("first:" + n.object["token"].stringValue()); });
    center.addObserver(second, "UserLogin", [&](const Notification&) { calls.push_back("second"); });
    center.addObserver(second, "UserLogout", [&](const Notification&) { calls.push_back("logout"); });
    center.post("UserLogin", Value(Dictionary { { "token", "abc" } }));
    EXPECT_EQ(calls, (std::vector<std::string> { "first:abc", "second" }));
}

TEST(NotificationCenter, DeadOwnersAreNotCalledAndRemovalDuringPostIsSafe)
{
    TaskEnvironment env;
    auto& center = NotificationCenter::defaultCenter();
    auto a = std::make_shared<int>(0);
    auto b = std::make_shared<int>(0);
    auto c = std::make_shared<int>(0);
    int aCalls = 0, bCalls = 0, cCalls = 0;
    center.addObserver(a, "N", [&](const Notification&) {
        ++aCalls;
        center.removeObserver(b.get()); // b registered after a: must not run in this post
        center.addObserver(a, "N", [&](const Notification&) { ++aCalls; }); // not in this post
    });
    center.addObserver(b, "N", [&](const Notification&) { ++bCalls; });
    center.addObserver(c, "N", [&](const Notification&) { ++cCalls; });
    c.reset();
    center.post("N");
    EXPECT_EQ(aCalls, 1);
    EXPECT_EQ(bCalls, 0);
    EXPECT_EQ(cCalls, 0);
    center.post("N");
    EXPECT_EQ(aCalls, 3);
}

TEST(NotificationCenter, SenderFilter)
{
    TaskEnvironment env;
    auto& center = NotificationCenter::defaultCenter();
    auto owner = std::make_shared<int>(0);
    auto senderA = std::make_shared<int>(1);
    auto senderB = std::make_shared<int>(2);
    int calls = 0;
    center.addObserver(owner, "Changed", [&](const Notification&) { ++calls; }, senderA);
    center.post("Changed", {}, senderB);
    center.post("Changed", {}, senderA);
    EXPECT_EQ(calls, 1);
}
