// A public key given as text to the LM Connect key helpers: base64 of a SubjectPublicKeyInfo
// whose RSA key is taken out and kept in the keychain under a tag. The first byte picks whether
// the rest is the key text as given, or DER bytes that the target writes as a key text with
// header, footer and line breaks (so the fuzzer works on the structure, not on its base64).
// What comes out must be a tail of the decoded bytes, read back the same when put in a
// well-formed structure again, and come back from the keychain as it went in.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/Base64.h"
#include "platform/foundation/RsaPublicKey.h"
#include "sdk/lmconnect/update/TOSDKRSACryptor.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

void check(bool holds)
{
    if (!holds)
        std::abort();
}

void appendLength(pf::Bytes& out, size_t length)
{
    if (length < 0x80) {
        out.push_back(static_cast<std::uint8_t>(length));
        return;
    }
    pf::Bytes digits;
    for (; length; length >>= 8)
        digits.insert(digits.begin(), static_cast<std::uint8_t>(length & 0xFF));
    out.push_back(static_cast<std::uint8_t>(0x80 | digits.size()));
    out.insert(out.end(), digits.begin(), digits.end());
}

// The key in a well-formed SubjectPublicKeyInfo with the rsaEncryption algorithm.
pf::Bytes subjectPublicKeyInfo(const pf::Bytes& key)
{
    static const pf::Bytes algorithm { 0x30, 0x0d, 0x06, 0x09, 0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x01, 0x01, 0x05, 0x00 };
    pf::Bytes bitString { 0x03 };
    appendLength(bitString, key.size() + 1);
    bitString.push_back(0x00);
    bitString.insert(bitString.end(), key.begin(), key.end());
    pf::Bytes out { 0x30 };
    appendLength(out, algorithm.size() + bitString.size());
    out.insert(out.end(), algorithm.begin(), algorithm.end());
    out.insert(out.end(), bitString.begin(), bitString.end());
    return out;
}

std::string pemText(const pf::Bytes& der)
{
    std::string base64 = pf::Base64::encode(der);
    std::string text = std::string(TOSDKRSACryptor::X509PublicHeader()) + "\n";
    for (size_t at = 0; at < base64.size(); at += 64)
        text += base64.substr(at, 64) + "\n";
    return text + TOSDKRSACryptor::X509PublicFooter() + "\n";
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    fuzz::FuzzInput input(data, size);
    const bool fromDer = input.takeByte() & 1;
    std::string text;
    if (fromDer) {
        pf::Bytes der = input.restAsBytes();
        std::string pem = pemText(der);
        check(TOSDKRSACryptor::isX509PublicKey(pem) && !TOSDKRSACryptor::isPKCS1PublicKey(pem));
        text = TOSDKRSACryptor::strippedKeyHeaderFooter(pem, TOSDKRSACryptor::X509PublicHeader(), TOSDKRSACryptor::X509PublicFooter());
        check(text == pf::Base64::encode(der));
        // The lenient decoding gives back what was encoded.
        auto decoded = TOSDKRSACryptor::dataWithBase64EncodedString(text);
        check(der.empty() ? !decoded : decoded == der);
    } else {
        text = std::string(input.rest());
    }

    auto key = TOSDKRSACryptor::strippedPublicKey(text);
    if (!key)
        return 0;
    auto decoded = TOSDKRSACryptor::dataWithBase64EncodedString(text);
    check(decoded && !key->empty() && key->size() < decoded->size());
    check(std::equal(key->begin(), key->end(), decoded->end() - static_cast<std::ptrdiff_t>(key->size())));
    check(TOSDKRSACryptor::strippedPublicKey(pf::Base64::encode(subjectPublicKeyInfo(*key))) == key);

    // Through the keychain and back; a key reference only for bytes that are a key.
    check(TOSDKRSACryptor::setPublicKeyTag(text, "fuzz"));
    check(TOSDKRSACryptor::keyDataWithTag("fuzz") == key);
    if (auto reference = TOSDKRSACryptor::keyRefWithTag("fuzz"))
        check(reference->blockSize() > 0);
    return 0;
}
