#include "HostilePropertyLists.h"

#include "platform/foundation/Base64.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Keychain.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/RsaPublicKey.h"
#include "platform/foundation/Sandbox.h"
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

// Written, "alice\0bob" would be cut to a second "alice".
TEST(Keychain, AServiceOrAccountTheFileWouldCutIsRefused)
{
    TaskEnvironment env;
    Keychain keychain = Keychain::standard();
    ASSERT_EQ(keychain.addPassword("svc", "alice", Bytes { 1 }), Keychain::Status::Success);
    EXPECT_EQ(keychain.addPassword("svc", std::string("alice\0bob", 9), Bytes { 2 }), Keychain::Status::InvalidParameter);
    EXPECT_EQ(keychain.addPassword("caf\xE9", "alice", Bytes { 3 }), Keychain::Status::InvalidParameter);
    EXPECT_EQ(PropertyList::readFile(keychain.passwordsPath())->asArray()->size(), 1u);
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

// A change first removes what changes killed part-way left, its own temporary files, and
// nothing else: copies a person keeps beside the files stay through changes and launches.
TEST(Keychain, AChangeRemovesOnlyItsOwnLeftoversAndKeepsAPersonsCopies)
{
    TaskEnvironment env;
    Keychain keychain = Keychain::standard();
    ASSERT_EQ(keychain.addPassword("svc", "acct", Bytes { 1 }), Keychain::Status::Success);
    const std::vector<std::string> kept { keychain.passwordsPath() + ".backup", keychain.passwordsPath() + ".before",
        keychain.passwordsPath() + ".AbC123", keychain.passwordsPath() + ".tmp-AbC12", keychain.keysPath() + ".backup" };
    for (const auto& file : kept)
        ASSERT_TRUE(FileManager::writeAtomically(file, std::string_view("a person's copy")));
    const std::vector<std::string> leftovers { keychain.passwordsPath() + ".tmp-AbC123", keychain.keysPath() + ".tmp-z9Y8x7" };
    for (const auto& file : leftovers)
        ASSERT_TRUE(FileManager::writeAtomically(file, std::string_view("cut short")));

    for (int launch = 0; launch < 2; ++launch) {
        SCOPED_TRACE(launch);
        ResetRegistry::resetAll();
        Keychain again = Keychain::standard();
        Bytes data { static_cast<std::uint8_t>(launch) };
        EXPECT_EQ(again.addPassword("svc", "launch " + std::to_string(launch), data), Keychain::Status::Success);
        EXPECT_EQ(again.setPublicKey(Keychain::KeyQuery { Keychain::KeyType::Rsa, data }, Bytes { 7 }), Keychain::Status::Success);
        EXPECT_EQ(again.deletePassword("svc", "launch " + std::to_string(launch)), Keychain::Status::Success);
        for (const auto& file : kept)
            EXPECT_EQ(FileManager::readText(file), "a person's copy") << file;
        for (const auto& file : leftovers)
            EXPECT_FALSE(FileManager::isOccupied(file)) << file;
    }
    EXPECT_EQ(keychain.passwordData("svc", "acct"), Bytes { 1 });
}

namespace {

// A 1024-bit RSA public key (PKCS#1 RSAPublicKey, DER).
Bytes rsaKey1024()
{
    auto spki = Base64::decode("MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQCvlqLvnSNMXdqyK1yy9q6yvwEkxq0PhKtMV9m8HKtp9GfC2NzzjyDwGh2fst/jXTjX"
                               "EvFs3uNCLiR6cjL/3hnY/jbqxJV88gP3yjHNGxe2ZIoJs6/szABTqAwV86nqE85FwLx8asr2cwfPyHrR233faQHREQk5BS7ajUfpSNUA"
                               "UwIDAQAB");
    return Bytes(spki->begin() + 22, spki->end());
}

}

TEST(RsaPublicKey, IsMadeOnlyFromBytesThatAreExactlyOneKey)
{
    TaskEnvironment env;
    const Bytes key = rsaKey1024();
    ASSERT_TRUE(RsaPublicKey::fromPkcs1Der(key));
    Bytes longer = key;
    longer.push_back(0);
    const Bytes cases[] = { {}, Bytes(key.begin(), key.end() - 1), longer, Bytes { 0x30, 0x00 } };
    for (const Bytes& bytes : cases)
        EXPECT_FALSE(RsaPublicKey::fromPkcs1Der(bytes)) << bytes.size();
    EXPECT_FALSE(RsaPublicKey::fromCertificateDer(key));
}

TEST(Keychain, KeyItemsAreFoundByTypeAndTagInAPrivateFileThatARelaunchKeepsAndANewInstallHasNot)
{
    TaskEnvironment env;
    Keychain keychain = Keychain::standard();
    const Keychain::KeyQuery a { Keychain::KeyType::Rsa, Bytes { 'a' } };
    const Keychain::KeyQuery b { Keychain::KeyType::Rsa, Bytes { 'b' } };
    EXPECT_EQ(keychain.deleteKey(a), Keychain::Status::ItemNotFound);

    EXPECT_EQ(keychain.addPublicKey(a, rsaKey1024()), Keychain::Status::Success);
    EXPECT_EQ(keychain.addPublicKey(b, Bytes { 1, 2 }), Keychain::Status::Success);
    EXPECT_EQ(keychain.addPublicKey(a, Bytes { 3 }), Keychain::Status::DuplicateItem);
    EXPECT_EQ(keychain.addPassword("a", "a", Bytes { 4 }), Keychain::Status::Success);
    EXPECT_EQ(modeOf(keychain.keysPath()), 0600u);

    ResetRegistry::resetAll(); // a relaunch
    Keychain again = Keychain::standard();
    EXPECT_EQ(again.keyData(a), rsaKey1024());
    EXPECT_EQ(again.keyData(b), (Bytes { 1, 2 }));
    ASSERT_TRUE(again.keyReference(a));
    EXPECT_EQ(again.keyReference(a)->blockSize(), 128u);
    EXPECT_FALSE(again.keyReference(b)) << "bytes that are no key make no reference";

    EXPECT_EQ(again.deleteKey(a), Keychain::Status::Success);
    EXPECT_FALSE(keychain.keyData(a));
    EXPECT_EQ(keychain.keyData(b), (Bytes { 1, 2 }));
    EXPECT_EQ(keychain.passwordData("a", "a"), (Bytes { 4 }));

    auto installed = Sandbox::createTemporary(); // a new install
    Sandbox::setCurrent(installed);
    ResetRegistry::resetAll();
    EXPECT_FALSE(Keychain::standard().keyData(b));
    EXPECT_FALSE(Keychain::standard().passwordData("a", "a"));
}

TEST(Keychain, DamagedOrOversizedFilesOfEitherClassReadAsEmpty)
{
    TaskEnvironment env;
    Keychain keychain = Keychain::standard();
    const Keychain::KeyQuery query { Keychain::KeyType::Rsa, Bytes { 't' } };
    // A key item without its tag and one of another type are skipped.
    FileManager::createDirectory(keychain.folder(), true);
    ASSERT_TRUE(PropertyList::writeFile(keychain.keysPath(), Value(Array {
        Value(Dictionary { { "kcls", Value("public") }, { "type", Value("rsa") }, { "pdmn", Value("whenUnlocked") }, { "v_Data", Value(Bytes { 1 }) } }),
        Value(Dictionary { { "kcls", Value("public") }, { "type", Value("ec") }, { "atag", Value(Bytes { 't' }) }, { "pdmn", Value("whenUnlocked") }, { "v_Data", Value(Bytes { 1 }) } }),
    })));
    EXPECT_FALSE(keychain.keyData(query));

    // The oversized file is a good list that holds the items asked for.
    const Bytes big(Keychain::kMaxFileBytes, 7);
    auto oversized = PropertyList::write(Value(Array {
        Value(Dictionary { { "kcls", Value("public") }, { "type", Value("rsa") }, { "atag", Value(Bytes { 't' }) }, { "pdmn", Value("whenUnlocked") }, { "v_Data", Value(big) } }),
        Value(Dictionary { { "svce", Value("s") }, { "acct", Value("a") }, { "v_Data", Value(big) } }),
    }), PropertyList::Format::Binary);
    ASSERT_TRUE(oversized);
    const std::string damages[] = { "garbage", "", std::string(oversized->begin(), oversized->end()) };
    for (const std::string& path : { keychain.keysPath(), keychain.passwordsPath() }) {
        for (const std::string& damage : damages) {
            SCOPED_TRACE(path + ", " + std::to_string(damage.size()) + " bytes");
            std::ofstream(path, std::ios::trunc | std::ios::binary) << damage;
            EXPECT_FALSE(keychain.keyData(query));
            EXPECT_FALSE(keychain.passwordData("s", "a"));
            EXPECT_TRUE(FileManager::exists(path + ".corrupt"));
            EXPECT_EQ(keychain.addPublicKey(query, Bytes { 5 }), Keychain::Status::Success);
            EXPECT_EQ(keychain.addPassword("s", "a", Bytes { 6 }), Keychain::Status::Success);
            EXPECT_EQ(keychain.deleteKey(query), Keychain::Status::Success);
            EXPECT_EQ(keychain.deletePassword("s", "a"), Keychain::Status::Success);
        }
    }
    // What would not be read back is not written.
    EXPECT_EQ(keychain.addPublicKey(query, Bytes(Keychain::kMaxFileBytes, 7)), Keychain::Status::WriteFailed);
    EXPECT_FALSE(keychain.keyData(query));
}

// Items this class cannot read (another component's, one a later version shapes otherwise) are
// skipped, and a delete of ours leaves them in the file.
TEST(Keychain, DeletingAnItemKeepsTheItemsOfOtherShapes)
{
    TaskEnvironment env;
    Keychain keychain = Keychain::standard();
    const Keychain::KeyQuery query { Keychain::KeyType::Rsa, Bytes { 't' } };
    const Value noAccount(Dictionary { { "svce", Value("s") }, { "v_Data", Value(Bytes { 1 }) } });
    const Value numberAccount(Dictionary { { "svce", Value("s") }, { "acct", Value(7) }, { "v_Data", Value(Bytes { 2 }) } });
    const Value untaggedKey(Dictionary { { "kcls", Value("public") }, { "type", Value("rsa") }, { "pdmn", Value("whenUnlocked") }, { "v_Data", Value(Bytes { 3 }) } });
    FileManager::createDirectory(keychain.folder(), true);
    ASSERT_TRUE(PropertyList::writeFile(keychain.passwordsPath(), Value(Array { noAccount, numberAccount })));
    ASSERT_TRUE(PropertyList::writeFile(keychain.keysPath(), Value(Array { untaggedKey })));

    ASSERT_EQ(keychain.addPassword("s", "a", Bytes { 4 }), Keychain::Status::Success);
    ASSERT_EQ(keychain.addPublicKey(query, Bytes { 5 }), Keychain::Status::Success);
    EXPECT_EQ(keychain.deletePassword("s", "a"), Keychain::Status::Success);
    EXPECT_EQ(keychain.deleteKey(query), Keychain::Status::Success);
    EXPECT_EQ(keychain.deletePassword("s", "missing"), Keychain::Status::ItemNotFound);
    EXPECT_EQ(PropertyList::readFile(keychain.passwordsPath()), Value(Array { noAccount, numberAccount }));
    EXPECT_EQ(PropertyList::readFile(keychain.keysPath()), Value(Array { untaggedKey }));
}

// An item that does not read (its texts are not UTF-8 or hold a NUL) costs only itself: the
// other services' items stay live, ours is replaced, and before the first change rewrites the
// file without that item a copy of it is set aside, once.
TEST(Keychain, AnItemThatDoesNotReadCostsOnlyItself)
{
    TaskEnvironment env;
    Keychain keychain = Keychain::standard();
    const Keychain::KeyQuery query { Keychain::KeyType::Rsa, Bytes { 't' } };
    auto password = [](const char* service, const char* account, std::uint8_t data) {
        return Value(Dictionary { { "svce", Value(service) }, { "acct", Value(account) }, { "v_Data", Value(Bytes { data }) } });
    };
    auto key = [](const char* accessible, std::uint8_t tag, std::uint8_t data) {
        return Value(Dictionary { { "kcls", Value("public") }, { "type", Value("rsa") }, { "atag", Value(Bytes { tag }) },
            { "pdmn", Value(accessible) }, { "v_Data", Value(Bytes { data }) } });
    };
    FileManager::createDirectory(keychain.folder(), true);
    Bytes passwords = hostile_plist::withReplaced(
        *PropertyList::write(Value(Array { password("other", "a", 1), password("cafX", "a", 2), password("mine", "a", 3) }), PropertyList::Format::Binary),
        "cafX", "caf\xE9");
    Bytes keys = hostile_plist::withReplaced(
        *PropertyList::write(Value(Array { key("whenUnlocked", 'o', 1), key("whenUnlockeX", 'x', 2), key("whenUnlocked", 't', 3) }), PropertyList::Format::Binary),
        "whenUnlockeX", std::string_view("whenUnlocke\0", 12));
    ASSERT_TRUE(FileManager::writeAtomically(keychain.passwordsPath(), passwords));
    ASSERT_TRUE(FileManager::writeAtomically(keychain.keysPath(), keys));

    EXPECT_EQ(keychain.passwordData("other", "a"), Bytes { 1 });
    EXPECT_EQ(keychain.keyData({ Keychain::KeyType::Rsa, Bytes { 'o' } }), Bytes { 1 });
    EXPECT_EQ(keychain.deletePassword("mine", "a"), Keychain::Status::Success);
    EXPECT_EQ(keychain.addPassword("mine", "a", Bytes { 4 }), Keychain::Status::Success);
    EXPECT_EQ(keychain.setPublicKey(query, Bytes { 4 }), Keychain::Status::Success);
    EXPECT_EQ(keychain.setPublicKey(query, Bytes { 5 }), Keychain::Status::Success);

    EXPECT_EQ(keychain.passwordData("other", "a"), Bytes { 1 });
    EXPECT_EQ(keychain.passwordData("mine", "a"), Bytes { 4 });
    EXPECT_EQ(keychain.keyData({ Keychain::KeyType::Rsa, Bytes { 'o' } }), Bytes { 1 });
    EXPECT_EQ(keychain.keyData(query), Bytes { 5 });
    EXPECT_EQ(PropertyList::readFile(keychain.keysPath()), Value(Array { key("whenUnlocked", 'o', 1), key("whenUnlocked", 't', 5) }));
    for (const auto& [path, original] : { std::pair { keychain.passwordsPath(), passwords }, std::pair { keychain.keysPath(), keys } }) {
        EXPECT_EQ(FileManager::asidePaths(path), std::vector<std::string> { FileManager::asidePath(path) });
        EXPECT_EQ(FileManager::read(FileManager::asidePath(path)), original);
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
