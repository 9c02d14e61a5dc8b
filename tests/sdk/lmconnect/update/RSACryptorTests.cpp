#include "sdk/lmconnect/update/TOSDKRSACryptor.h"

#include "platform/foundation/Base64.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/RsaPublicKey.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

namespace {

using Cryptor = TOSDKRSACryptor;

// A 2048-bit key as it is usually handed over: header, footer and lines of 64 characters.
const char* const kPem2048 = "-----BEGIN PUBLIC KEY-----\n"
                             "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEA33qyuoTEUljjlHHtuYoy\n"
                             "4CZEAf1Vp92wOs0Rij7U0WXCCa3FbQUJKw6Maxy6IwR8t3gQR10vjLbKMYxs914u\n"
                             "iudVMW8JJ5Npv2EEOhBRPaQaFHywFc9xUs9glg54pHvyG+7O5zmNelrnz7ZvqJqI\n"
                             "uZ0vAsbO6GZaNkcf4hja1/bdOrYGp0Sv/EWfHpSFESaFtRUujmDYhdP5ZW0Z9ADQ\n"
                             "VvQq7GXXuqK9USqq8KkmMCU0QyurOpuquGG1zRWnbAhtMItwlw59DUBtAKncxssM\n"
                             "I+EFXGfEUNNot0XbGg1hDIzUw4SiU4BScxzSAQSbmjyK6lFvP0XIVIWN73R4i/v1\n"
                             "mQIDAQAB\n"
                             "-----END PUBLIC KEY-----\n";

std::string bare2048()
{
    return Cryptor::strippedKeyHeaderFooter(kPem2048, Cryptor::X509PublicHeader(), Cryptor::X509PublicFooter());
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
    // Short (0x81) and long (0x82) outer lengths; the fixed key text is such a key too.
    for (const auto& [text, blockSize] : { std::pair<std::string, size_t> { Cryptor::publicKeyText(), 128 }, { bare2048(), 256 } }) {
        auto key = Cryptor::strippedPublicKey(text);
        ASSERT_TRUE(key) << text;
        auto reference = pf::RsaPublicKey::fromPkcs1Der(*key);
        ASSERT_TRUE(reference);
        EXPECT_EQ(reference->blockSize(), blockSize);
    }
    EXPECT_FALSE(Cryptor::strippedPublicKey(kPem2048)) << "the header must be taken off first";

    const pf::Bytes good = der1024();
    const pf::Bytes key(good.begin() + 22, good.end());
    EXPECT_EQ(strippedDer(good), key);
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
    // Setting again replaces the item; a text without a key leaves it.
    ASSERT_TRUE(Cryptor::setPublicKeyTag(bare2048(), "a"));
    EXPECT_FALSE(Cryptor::setPublicKeyTag(kPem2048, "a"));
    ASSERT_TRUE(Cryptor::keyRefWithTag("a"));
    EXPECT_EQ(Cryptor::keyRefWithTag("a")->blockSize(), 256u);
    EXPECT_EQ(Cryptor::keyRefWithTag("b")->blockSize(), 128u);

    Cryptor::removeKey("a");
    EXPECT_FALSE(Cryptor::keyDataWithTag("a"));
    EXPECT_FALSE(Cryptor::keyRefWithTag("a"));
    EXPECT_TRUE(Cryptor::keyDataWithTag("b"));

    // Bytes in the right place that are no key are kept, but make no key reference.
    pf::Bytes notAKey = der1024();
    notAKey.resize(40);
    ASSERT_TRUE(Cryptor::setPublicKeyTag(pf::Base64::encode(notAKey), "c"));
    EXPECT_EQ(Cryptor::keyDataWithTag("c")->size(), 40u - 22);
    EXPECT_FALSE(Cryptor::keyRefWithTag("c"));

    // An empty tag names the app's own key, not one ending in a dot.
    EXPECT_EQ(Cryptor::publicKeyIdentifierWithTag(""), pf::Bundle::main()->bundleIdentifier() + ".publicKey");
}
