#include "sdk/lmconnect/update/TOSDKRSACryptor.h"

#include "platform/foundation/Base64.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Keychain.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/RsaPublicKey.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

namespace {

using Cryptor = TOSDKRSACryptor;

// The fixed key as it is usually handed over, header and footer included.
std::string pem()
{
    return std::string(Cryptor::X509PublicHeader()) + "\n" + Cryptor::publicKeyText() + "\n" + Cryptor::X509PublicFooter();
}

pf::Bytes der1024() { return *pf::Base64::decode(Cryptor::publicKeyText()); }

std::optional<pf::Bytes> strippedDer(const pf::Bytes& der) { return Cryptor::strippedPublicKey(pf::Base64::encode(der)); }

}

TEST(TOSDKRSACryptor, LenientBase64SkipsWhatIsNotInTheAlphabet)
{
    pf::TaskEnvironment env;
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        { "TWFu", "Man" }, { " T\nW-F*u ", "Man" }, { "TWE=", "Ma" }, { "T=W=E", "Ma" }, { "TQ", "M" },
        { "TWFuT", "Man" }, // a last group of one character is dropped
        { "", std::nullopt }, { "====", std::nullopt }, { "T", std::nullopt }, { "-_.", std::nullopt },
    };
    for (const auto& [text, expected] : cases) {
        auto data = Cryptor::dataWithBase64EncodedString(text);
        EXPECT_EQ(data ? std::optional<std::string>(std::string(data->begin(), data->end())) : std::nullopt, expected) << text;
    }
}

TEST(TOSDKRSACryptor, KeyTextsLoseTheirHeaderFooterLineFeedsAndSpaces)
{
    pf::TaskEnvironment env;
    std::string x509 = std::string(Cryptor::X509PublicHeader()) + "\nAB CD\n" + Cryptor::X509PublicFooter();
    std::string pkcs1 = std::string(Cryptor::PKCS1PublicHeader()) + "\nAB\r\nCD\n" + Cryptor::PKCS1PublicFooter();
    EXPECT_EQ(Cryptor::strippedKeyHeaderFooter(x509, Cryptor::X509PublicHeader(), Cryptor::X509PublicFooter()), "ABCD");
    EXPECT_EQ(Cryptor::strippedKeyHeaderFooter(pkcs1, Cryptor::PKCS1PublicHeader(), Cryptor::PKCS1PublicFooter()), "AB\rCD");
    EXPECT_EQ(Cryptor::strippedKeyHeaderFooter("hAhB h", "h", ""), "AB"); // every occurrence; an empty piece is none
    const std::tuple<std::string, bool, bool> forms[] = {
        { x509, true, false }, { pkcs1, false, true }, { Cryptor::X509PublicHeader(), false, false },
        { std::string(Cryptor::PKCS1PublicFooter()) + Cryptor::X509PublicHeader(), false, false },
    };
    for (const auto& [text, isX509, isPKCS1] : forms) {
        EXPECT_EQ(Cryptor::isX509PublicKey(text), isX509) << text;
        EXPECT_EQ(Cryptor::isPKCS1PublicKey(text), isPKCS1) << text;
    }
}

TEST(TOSDKRSACryptor, StrippedPublicKeyTakesTheKeyOutOfACheckedStructure)
{
    pf::TaskEnvironment env;
    // The fixed key text is a real key.
    auto fixed = Cryptor::strippedPublicKey(Cryptor::publicKeyText());
    ASSERT_TRUE(fixed);
    auto reference = pf::RsaPublicKey::fromPkcs1Der(*fixed);
    ASSERT_TRUE(reference);
    EXPECT_EQ(reference->blockSize(), 128u);
    EXPECT_FALSE(Cryptor::strippedPublicKey(pem())) << "the header must be taken off first";

    const pf::Bytes good = der1024();
    const pf::Bytes key(good.begin() + 22, good.end());
    EXPECT_EQ(fixed, key);
    // Lengths written with more bytes are skipped by their count.
    pf::Bytes longer { 0x30, 0x84, 0, 0, 0, 0x9f };
    longer.insert(longer.end(), good.begin() + 3, good.begin() + 19);
    longer.insert(longer.end(), { 0x83, 0, 0, 0x8d });
    longer.insert(longer.end(), good.begin() + 21, good.end());
    EXPECT_EQ(strippedDer(longer), key);
    // Every cut before the key's first byte leaves a position outside the data.
    for (size_t size = 0; size <= 22; ++size)
        EXPECT_FALSE(strippedDer(pf::Bytes(good.begin(), good.begin() + size))) << size;
    const pf::Bytes cut(good.begin(), good.begin() + 60);
    ASSERT_TRUE(strippedDer(cut));
    const std::pair<size_t, std::uint8_t> changes[] = {
        { 0, 0x31 }, // not a sequence
        { 1, 0xff }, // 127 length bytes run past the end
        { 3, 0x31 }, // the algorithm is not a sequence
        { 18, 0x04 }, // no bit string where the algorithm ends
        { 19, 0xff }, // the bit string's length bytes run past the end
        { 21, 0x01 }, // unused bits
    };
    for (auto [at, value] : changes) {
        pf::Bytes bad = cut;
        bad[at] = value;
        EXPECT_FALSE(strippedDer(bad)) << at;
    }
}

TEST(TOSDKRSACryptor, KeysAreKeptInTheKeychainUnderTheirTag)
{
    pf::TaskEnvironment env;
    EXPECT_FALSE(Cryptor::keyDataWithTag("a"));
    Cryptor::removeKey("a");

    ASSERT_TRUE(Cryptor::setPublicKeyTag(Cryptor::publicKeyText(), "a"));
    ASSERT_TRUE(Cryptor::setPublicKeyTag(Cryptor::publicKeyText(), "b"));
    EXPECT_EQ(Cryptor::keyDataWithTag("a"), Cryptor::strippedPublicKey(Cryptor::publicKeyText()));
    ASSERT_TRUE(Cryptor::keyRefWithTag("a"));
    EXPECT_EQ(Cryptor::keyRefWithTag("a")->blockSize(), 128u);

    // Setting again replaces the item, here with bytes in the right place that are no key: they
    // are kept, but make no key reference. A text without a key leaves the item.
    pf::Bytes notAKey = der1024();
    notAKey.resize(40);
    ASSERT_TRUE(Cryptor::setPublicKeyTag(pf::Base64::encode(notAKey), "a"));
    EXPECT_FALSE(Cryptor::setPublicKeyTag(pem(), "a"));
    EXPECT_EQ(Cryptor::keyDataWithTag("a")->size(), 40u - 22);
    EXPECT_FALSE(Cryptor::keyRefWithTag("a"));

    Cryptor::removeKey("a");
    EXPECT_FALSE(Cryptor::keyDataWithTag("a"));
    EXPECT_TRUE(Cryptor::keyRefWithTag("b")) << "other tags keep their keys";

    // A key too large for the keychain's file is refused and the tag keeps its key, on disk too.
    ASSERT_TRUE(Cryptor::setPublicKeyTag(Cryptor::publicKeyText(), "a"));
    const pf::Bytes good = der1024();
    pf::Bytes der { 0x30, 0x84, 0, 0, 0, 0 }; // lengths are skipped by their count, not checked
    der.insert(der.end(), good.begin() + 3, good.begin() + 19);
    der.insert(der.end(), { 0x84, 0, 0, 0, 0, 0x00 });
    der.resize(der.size() + pf::Keychain::kMaxFileBytes, 7);
    const std::string huge = pf::Base64::encode(der);
    ASSERT_EQ(Cryptor::strippedPublicKey(huge)->size(), pf::Keychain::kMaxFileBytes);
    EXPECT_FALSE(Cryptor::setPublicKeyTag(huge, "a"));
    pf::ResetRegistry::resetAll();
    EXPECT_EQ(Cryptor::keyDataWithTag("a"), Cryptor::strippedPublicKey(Cryptor::publicKeyText()));
    EXPECT_TRUE(Cryptor::keyRefWithTag("a"));

    // An empty tag names the app's own key, not one ending in a dot.
    EXPECT_EQ(Cryptor::publicKeyIdentifierWithTag(""), pf::Bundle::main()->bundleIdentifier() + ".publicKey");
}
