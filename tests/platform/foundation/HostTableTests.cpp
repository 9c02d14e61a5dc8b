#include "platform/foundation/HostTable.h"

#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

namespace {

using pf::HostTable;

std::vector<HostTable::Host> vendorHosts()
{
    return {
        { "api", "https://api.vendor.invalid/", "vendor/" },
        { "root", "https://vendor.invalid", "" },
        { "store", "http://store.invalid/app", std::nullopt },
    };
}

TEST(HostTable, AnAddressIsTheOneSetThenTheStandInThenTheDefault)
{
    pf::TaskEnvironment env;
    HostTable table(vendorHosts());
    struct Case {
        const char* what;
        std::function<void()> step;
        std::string api, root, store;
    };
    const std::vector<Case> cases {
        { "defaults", [] {}, "https://api.vendor.invalid/", "https://vendor.invalid", "http://store.invalid/app" },
        { "the stand-in, a slash added to its root", [] { HostTable::pointAllAt("http://127.0.0.1:8/"); },
            "http://127.0.0.1:8/vendor/", "http://127.0.0.1:8/", "http://store.invalid/app" },
        { "a root without its slash", [] { HostTable::pointAllAt("http://127.0.0.1:9"); },
            "http://127.0.0.1:9/vendor/", "http://127.0.0.1:9/", "http://store.invalid/app" },
        { "one set wins over the stand-in", [&] { table.setAddress("api", "http://h/a/"); table.setAddress("store", "s"); },
            "http://h/a/", "http://127.0.0.1:9/", "s" },
        { "a default read later", [&] { table.setDefaultAddress("root", "https://other.invalid"); },
            "http://h/a/", "http://127.0.0.1:9/", "s" },
        { "back to the defaults but what was set", [] { HostTable::pointAllAt(std::nullopt); },
            "http://h/a/", "https://other.invalid", "s" },
    };
    for (const auto& c : cases) {
        c.step();
        EXPECT_EQ(table.address("api"), c.api) << c.what;
        EXPECT_EQ(table.address("root"), c.root) << c.what;
        EXPECT_EQ(table.address("store"), c.store) << c.what;
    }
    table.setAddress("unknown", "x");
    EXPECT_EQ(table.address("unknown"), "");
}

TEST(HostTable, OneCallReachesEveryTableAndANewLaunchForgetsIt)
{
    auto before = std::make_unique<HostTable>(vendorHosts());
    {
        pf::TaskEnvironment env;
        HostTable::pointAllAt("http://127.0.0.1:7/");
        HostTable later(vendorHosts());
        before->setAddress("root", "http://set/");
        EXPECT_EQ(before->address("api"), "http://127.0.0.1:7/vendor/");
        EXPECT_EQ(later.address("api"), "http://127.0.0.1:7/vendor/");
        EXPECT_EQ(HostTable::standInRoot(), "http://127.0.0.1:7/");
    }
    // The next test (launch) starts from the defaults, without anyone resetting by hand; a table
    // already gone is skipped.
    pf::TaskEnvironment env;
    EXPECT_FALSE(HostTable::standInRoot());
    EXPECT_EQ(before->address("api"), "https://api.vendor.invalid/");
    EXPECT_EQ(before->address("root"), "https://vendor.invalid");
}

}
