#include "HostilePropertyLists.h"

#include "platform/foundation/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Reachability.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace pf;

TEST(Device, OverridesAndVersionNumbers)
{
    TaskEnvironment env;
    auto& device = Device::current();
    EXPECT_FALSE(device.carrierNetworkCode());
    device.setSystemVersion("6.1.3");
    device.setIdiom(Device::Idiom::Tablet);
    device.setCarrier("460", "01");
    EXPECT_DOUBLE_EQ(device.systemVersionFloat(), 6.1);
    EXPECT_EQ(device.systemMajorVersion(), 6);
    EXPECT_EQ(device.model(), "Tablet");
    EXPECT_EQ(device.carrierCountryCode().value_or("") + device.carrierNetworkCode().value_or(""), "46001");
}

TEST(Device, IdentifierIsOneValueThatSurvivesRestartsAndALostCopy)
{
    TaskEnvironment env;
    std::string id = Device::current().identifier();
    EXPECT_EQ(id.size(), 40u);
    EXPECT_EQ(Device::current().identifier(), id);
    EXPECT_EQ(UserDefaults::standard()->stringForKey(Device::kIdentifierDefaultsKey), id);

    // A new launch of the app and of the device.
    UserDefaults::resetStandard();
    Pasteboard::forgetUnsaved();
    EXPECT_EQ(Device::current().identifier(), id);

    // The defaults lost it (app data cleared): the pasteboard still has it, and refills them.
    UserDefaults::standard()->removeObjectForKey(Device::kIdentifierDefaultsKey);
    EXPECT_EQ(Device::current().identifier(), id);
    EXPECT_EQ(UserDefaults::standard()->stringForKey(Device::kIdentifierDefaultsKey), id);

    // The pasteboard lost it: the defaults still have it.
    Pasteboard::remove(Device::kIdentifierPasteboard);
    EXPECT_EQ(Device::current().identifier(), id);
    EXPECT_TRUE(Pasteboard::withName(Device::kIdentifierPasteboard, false));

    // Both other identifiers are stable UUIDs.
    std::string vendor = Device::current().vendorIdentifier();
    EXPECT_EQ(vendor.size(), 36u);
    EXPECT_EQ(Device::current().vendorIdentifier(), vendor);
    EXPECT_EQ(Device::current().advertisingIdentifier(), Device::current().advertisingIdentifier());
}

// Another app left bytes that are not a text: they could not be kept as they are, so they count
// as absent and the identifier made instead stays the same from one launch to the next.
TEST(Device, AnIdentifierOnThePasteboardThatIsNotATextCountsAsAbsent)
{
    TaskEnvironment env;
    auto board = Pasteboard::withName(Device::kIdentifierPasteboard, true);
    board->setPersistent(true);
    board->setData(Bytes { 'c', 'a', 'f', 0xE9 }, Device::kIdentifierType);
    std::string id = Device::current().identifier();
    EXPECT_EQ(id.size(), 40u);
    UserDefaults::resetStandard();
    Pasteboard::forgetUnsaved();
    EXPECT_EQ(Device::current().identifier(), id);
}

// Both places that keep the identifier hold another entry that does not read (another app's
// doing): each costs only itself, so the identifier stays the same.
TEST(Device, TheIdentifierSurvivesAnEntryThatDoesNotReadBesideIt)
{
    TaskEnvironment env;
    std::string id = Device::current().identifier();
    auto withDamagedEntry = [](const std::string& path, const std::function<void(Value&)>& add) {
        auto content = PropertyList::readFile(path);
        ASSERT_TRUE(content);
        add(*content);
        ASSERT_TRUE(FileManager::writeAtomically(path,
            hostile_plist::withReplaced(*PropertyList::write(*content, PropertyList::Format::Binary), "cafX", "caf\xE9")));
    };
    withDamagedEntry(UserDefaults::standard()->path(), [](Value& all) { all.set("cafX", 1); });
    std::string folder = Sandbox::current()->libraryPath() + "/Pasteboards/";
    auto names = FileManager::contentsOfDirectory(folder);
    auto board = std::find_if(names.begin(), names.end(), [](const std::string& name) { return name.find("identifier") != std::string::npos; });
    ASSERT_NE(board, names.end());
    withDamagedEntry(folder + *board, [](Value& file) {
        Array items = *file["items"].asArray();
        items.push_back(Dictionary { { "cafX", Bytes { 1 } } });
        file.set("items", Value(std::move(items)));
    });
    UserDefaults::resetStandard();
    Pasteboard::forgetUnsaved();
    EXPECT_EQ(Device::current().identifier(), id);
    EXPECT_EQ(UserDefaults::standard()->stringForKey(Device::kIdentifierDefaultsKey), id);
    EXPECT_EQ(Pasteboard::withName(Device::kIdentifierPasteboard, false)->dataForType(Device::kIdentifierType), Bytes(id.begin(), id.end()));
}

TEST(Device, AFreshDeviceGetsAFreshIdentifier)
{
    std::string first, second;
    {
        TaskEnvironment env;
        first = Device::current().identifier();
    }
    {
        TaskEnvironment env;
        second = Device::current().identifier();
    }
    EXPECT_NE(first, second);
}

TEST(Reachability, OverrideAndChangeNotificationsFromTheProbe)
{
    TaskEnvironment env;
    EXPECT_EQ(Reachability::currentStatus(), Reachability::Status::ViaWiFi);
    auto probe = Reachability::forHostName("open.example.com");
    auto other = Reachability::forInternetConnection();
    other->setNotificationName("NetworkChanged");
    int fromProbe = 0;
    int any = 0;
    auto owner = std::make_shared<int>();
    NotificationCenter::defaultCenter().addObserver(owner, Reachability::kChangedNotification, [&](const Notification&) { ++fromProbe; }, probe);
    NotificationCenter::defaultCenter().addObserver(owner, "NetworkChanged", [&](const Notification&) { ++any; });
    ASSERT_TRUE(probe->startNotifier());
    ASSERT_TRUE(other->startNotifier());

    Reachability::setOverride(Reachability::Status::NotReachable);
    EXPECT_FALSE(probe->isReachable());
    EXPECT_EQ(fromProbe, 0); // delivered on the loop, not inside the call
    env.runUntilIdle();
    EXPECT_EQ(fromProbe, 1);
    EXPECT_EQ(any, 1);

    Reachability::setOverride(Reachability::Status::NotReachable); // no change, no post
    env.runUntilIdle();
    EXPECT_EQ(fromProbe, 1);

    probe->stopNotifier();
    Reachability::setOverride(Reachability::Status::ViaCellular);
    env.runUntilIdle();
    EXPECT_EQ(fromProbe, 1);
    EXPECT_EQ(any, 2);
    EXPECT_FALSE(other->isReachableViaWiFi());
    EXPECT_TRUE(other->isReachable());
}
