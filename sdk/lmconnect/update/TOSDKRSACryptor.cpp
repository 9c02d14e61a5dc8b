#include "sdk/lmconnect/update/TOSDKRSACryptor.h"

#include "sdk/lmconnect/update/MorrowResourceBundle.h"

#include "platform/foundation/Base64.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Crypto.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RsaPublicKey.h"
#include "platform/foundation/RsaVerifier.h"

#include <cstdint>

const char* TOSDKRSACryptor::publicKeyText()
{
    return "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQCvlqLvnSNMXdqyK1yy9q6yvwEkxq0PhKtMV9m8HKtp9GfC2NzzjyDwGh2fst/jXTjX"
           "EvFs3uNCLiR6cjL/3hnY/jbqxJV88gP3yjHNGxe2ZIoJs6/szABTqAwV86nqE85FwLx8asr2cwfPyHrR233faQHREQk5BS7ajUfpSNUA"
           "UwIDAQAB";
}

bool TOSDKRSACryptor::verifyKeySig(const std::optional<pf::Bytes>& data, const std::optional<std::string>& keyText,
    const std::optional<pf::Bytes>& signature)
{
    if (!data || !keyText || !signature)
        return false;
    auto certificatePath = MorrowResourceBundle::pathForResource(MorrowResourceBundle::kCertificate);
    if (!certificatePath)
        return false;
    auto certificate = pf::FileManager::read(*certificatePath);
    if (!certificate)
        return false;
    return pf::RsaVerifier::verifyPkcs1Sha1(*certificate, *data, *signature);
}

std::string TOSDKRSACryptor::hashValueForFile(const pf::Bytes& data)
{
    return pf::Crypto::sha1Hex(data);
}

std::optional<pf::Bytes> TOSDKRSACryptor::dataWithBase64EncodedString(std::string_view text)
{
    std::string symbols;
    symbols.reserve(text.size());
    for (char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/')
            symbols += c;
    }
    // One symbol alone holds no whole byte.
    if (symbols.size() % 4 == 1)
        symbols.pop_back();
    auto data = pf::Base64::decode(symbols);
    if (!data || data->empty())
        return std::nullopt;
    return data;
}

bool TOSDKRSACryptor::isX509PublicKey(std::string_view key)
{
    return key.find(X509PublicHeader()) != std::string_view::npos && key.find(X509PublicFooter()) != std::string_view::npos;
}

bool TOSDKRSACryptor::isPKCS1PublicKey(std::string_view key)
{
    return key.find(PKCS1PublicHeader()) != std::string_view::npos && key.find(PKCS1PublicFooter()) != std::string_view::npos;
}

namespace {

std::string withoutEvery(std::string_view text, std::string_view piece)
{
    if (piece.empty())
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t at; (at = text.find(piece, from)) != std::string_view::npos; from = at + piece.size())
        out.append(text, from, at - from);
    out.append(text, from);
    return out;
}

// Where the content of a DER element begins whose length byte stands at `lengthAt`: right after
// a short length, after the extra length bytes of a long one.
size_t contentAfterLength(const pf::Bytes& der, size_t lengthAt)
{
    std::uint8_t length = der[lengthAt];
    return lengthAt + 1 + (length < 0x81 ? 0 : length - 0x80);
}

// The key bytes of a SubjectPublicKeyInfo: SEQUENCE { SEQUENCE { algorithm (13 bytes) },
// BIT STRING { unused-bits byte 0, key } }. Only the tags, the unused-bits byte and the
// positions are checked; every position is checked against the end before it is read.
std::optional<pf::Bytes> keyOfSubjectPublicKeyInfo(const pf::Bytes& der)
{
    auto has = [&](size_t at, std::uint8_t expected) { return at < der.size() && der[at] == expected; };
    if (!has(0, 0x30) || der.size() < 2)
        return std::nullopt;
    size_t algorithm = contentAfterLength(der, 1);
    size_t bitString = algorithm + 15;
    if (!has(algorithm, 0x30) || !has(bitString, 0x03) || bitString + 1 >= der.size())
        return std::nullopt;
    size_t content = contentAfterLength(der, bitString + 1);
    if (!has(content, 0x00) || content + 1 >= der.size())
        return std::nullopt;
    return pf::Bytes(der.begin() + static_cast<std::ptrdiff_t>(content + 1), der.end());
}

}

std::string TOSDKRSACryptor::strippedKeyHeaderFooter(std::string_view key, std::string_view header, std::string_view footer)
{
    std::string text = withoutEvery(withoutEvery(key, header), footer);
    return withoutEvery(withoutEvery(text, "\n"), " ");
}

std::optional<pf::Bytes> TOSDKRSACryptor::strippedPublicKey(std::string_view key)
{
    // The lenient decoding skips line feeds and spaces with everything else outside the alphabet.
    auto der = dataWithBase64EncodedString(key);
    if (!der)
        return std::nullopt;
    return keyOfSubjectPublicKeyInfo(*der);
}

pf::Keychain::KeyQuery TOSDKRSACryptor::keyQueryDictionary(const std::string& tag)
{
    return pf::Keychain::KeyQuery {
        pf::Keychain::KeyType::Rsa,
        pf::Bytes(tag.begin(), tag.end()),
        pf::Keychain::Accessibility::WhenUnlocked,
    };
}

bool TOSDKRSACryptor::setPublicKeyTag(std::string_view key, const std::string& tag)
{
    // Taken apart first, so a text that holds no key loses nothing; then replaced in one write,
    // so a key that cannot be stored leaves the old one.
    auto data = strippedPublicKey(key);
    if (!data)
        return false;
    return pf::Keychain::standard().setPublicKey(keyQueryDictionary(tag), *data) == pf::Keychain::Status::Success;
}

void TOSDKRSACryptor::removeKey(const std::string& tag)
{
    pf::Keychain::standard().deleteKey(keyQueryDictionary(tag));
}

std::optional<pf::Bytes> TOSDKRSACryptor::keyDataWithTag(const std::string& tag)
{
    return pf::Keychain::standard().keyData(keyQueryDictionary(tag));
}

std::shared_ptr<pf::RsaPublicKey> TOSDKRSACryptor::keyRefWithTag(const std::string& tag)
{
    return pf::Keychain::standard().keyReference(keyQueryDictionary(tag));
}

std::string TOSDKRSACryptor::publicKeyIdentifier()
{
    return publicKeyIdentifierWithTag(std::nullopt);
}

std::string TOSDKRSACryptor::publicKeyIdentifierWithTag(const std::optional<std::string>& tag)
{
    std::string identifier = pf::Bundle::main()->bundleIdentifier() + ".publicKey";
    // An empty tag is no tag: a trailing "." would name nothing more.
    if (tag && !tag->empty())
        identifier += "." + *tag;
    return identifier;
}
