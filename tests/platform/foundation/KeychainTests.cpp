#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Keychain.h"
#include "platform/foundation/PropertyList.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

using namespace pf;

namespace {

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 0777;
}

__attribute__((noinline)) Exception makeException()
{
    Exception e("Invalid AppKey", "Invalid AppKey");
    asm volatile("" ::: "memory"); // keeps this frame from being folded into its caller
    return e;
}

}

TEST(Keychain, ItemsAreKeptByServiceAndAccountInAPrivateFile)
{
    TaskEnvironment env;
    Keychain keychain = Keychain::standard();
    EXPECT_FALSE(keychain.passwordData("svc", "acct"));
    EXPECT_EQ(keychain.deletePassword("svc", "acct"), Keychain::Status::ItemNotFound);

    EXPECT_EQ(keychain.addPassword("svc", "acct", Bytes { 1, 2, 3 }), Keychain::Status::Success);
    EXPECT_EQ(keychain.addPassword("svc", "other", Bytes { 4 }), Keychain::Status::Success);
    EXPECT_EQ(keychain.addPassword("svc", "acct", Bytes { 9 }), Keychain::Status::DuplicateItem);
    EXPECT_EQ(modeOf(keychain.passwordsPath()), 0600u);
    EXPECT_EQ(modeOf(keychain.passwordsPath().substr(0, keychain.passwordsPath().rfind('/'))), 0700u);

    // Another keychain object on the same file sees the same items.
    Keychain again = Keychain::standard();
    EXPECT_EQ(again.passwordData("svc", "acct"), (Bytes { 1, 2, 3 }));
    EXPECT_EQ(again.passwordData("svc", "other"), (Bytes { 4 }));
    EXPECT_FALSE(again.passwordData("acct", "svc"));

    EXPECT_EQ(again.deletePassword("svc", "acct"), Keychain::Status::Success);
    EXPECT_FALSE(keychain.passwordData("svc", "acct"));
    EXPECT_EQ(keychain.addPassword("svc", "acct", Bytes {}), Keychain::Status::Success);
    EXPECT_EQ(keychain.passwordData("svc", "acct"), Bytes {});
}

TEST(Keychain, DamagedFilesAndItemsReadAsAbsent)
{
    TaskEnvironment env;
    Keychain keychain = Keychain::standard();
    ASSERT_EQ(keychain.addPassword("svc", "acct", Bytes { 1 }), Keychain::Status::Success);

    // Items of the wrong shape are skipped; a wrongly typed one can be replaced.
    Array items {
        Value(Dictionary { { "svce", Value("svc") }, { "acct", Value("acct") }, { "v_Data", Value("text, not data") } }),
        Value(Dictionary { { "svce", Value(7) }, { "acct", Value("x") }, { "v_Data", Value(Bytes { 1 }) } }),
        Value("not an item"),
        Value(Dictionary { { "svce", Value("svc") }, { "acct", Value("good") }, { "v_Data", Value(Bytes { 5 }) } }),
    };
    ASSERT_TRUE(PropertyList::writeFile(keychain.passwordsPath(), Value(items)));
    EXPECT_FALSE(keychain.passwordData("svc", "acct"));
    EXPECT_EQ(keychain.passwordData("svc", "good"), (Bytes { 5 }));
    EXPECT_EQ(keychain.deletePassword("svc", "acct"), Keychain::Status::ItemNotFound);
    EXPECT_EQ(keychain.addPassword("svc", "acct", Bytes { 2 }), Keychain::Status::Success);
    EXPECT_EQ(keychain.passwordData("svc", "acct"), (Bytes { 2 }));

    for (const char* garbage : { "garbage", "" }) {
        std::ofstream(keychain.passwordsPath(), std::ios::trunc) << garbage;
        EXPECT_FALSE(keychain.passwordData("svc", "acct")) << garbage;
        EXPECT_TRUE(FileManager::exists(keychain.passwordsPath() + ".corrupt")) << garbage;
        EXPECT_EQ(keychain.addPassword("svc", "acct", Bytes { 3 }), Keychain::Status::Success);
        EXPECT_EQ(keychain.passwordData("svc", "acct"), (Bytes { 3 }));
    }
}

TEST(Exception, CarriesNameReasonAndTheStackOfItsMaker)
{
    Exception e = makeException();
    EXPECT_EQ(e.name(), "Invalid AppKey");
    EXPECT_EQ(e.reason(), "Invalid AppKey");
    EXPECT_STREQ(e.what(), "Invalid AppKey");
    ASSERT_FALSE(e.callStackReturnAddresses().empty());
    auto maker = reinterpret_cast<std::uintptr_t>(&makeException);
    std::uintptr_t first = e.callStackReturnAddresses().front();
    EXPECT_GT(first, maker);
    EXPECT_LT(first - maker, 512u) << "the first frame is the function that made the exception";

    // A copy (as a throw makes) keeps the stack of the original place.
    try {
        throw e;
    } catch (const std::exception& caught) {
        auto* platform = dynamic_cast<const Exception*>(&caught);
        ASSERT_NE(platform, nullptr);
        EXPECT_EQ(platform->callStackReturnAddresses(), e.callStackReturnAddresses());
    }
}
