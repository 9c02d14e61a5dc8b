#pragma once

#include "platform/foundation/Keychain.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pf {
class RsaPublicKey;
}

// The signature check of the script archives: RSA PKCS#1 v1.5 with SHA-1, against the key of
// the certificate "public_key.der" of the LM Connect resource bundle.
//
// Beside it, the key-text and keychain helpers of the library: a public key given as base64
// text is taken out of its header and footer lines and its outer structure and kept in the
// keychain under a tag. The signature check does not use them.
class TOSDKRSACryptor {
public:
    // A fixed key text (the base64 of a 1024-bit key's SubjectPublicKeyInfo): only its
    // presence is asked for; the certificate's key decides.
    static const char* publicKeyText();

    // No data, key text or signature, or no certificate, answers false.
    static bool verifyKeySig(const std::optional<pf::Bytes>& data, const std::optional<std::string>& keyText,
        const std::optional<pf::Bytes>& signature);
    // Lower-case hex SHA-1 of the bytes.
    static std::string hashValueForFile(const pf::Bytes& data);

    // Lenient base64: every character outside the alphabet is skipped ("=" too) and a last
    // group of one character dropped. None when nothing is left.
    static std::optional<pf::Bytes> dataWithBase64EncodedString(std::string_view text);

    static const char* X509PublicHeader() { return "-----BEGIN PUBLIC KEY-----"; }
    static const char* X509PublicFooter() { return "-----END PUBLIC KEY-----"; }
    static const char* PKCS1PublicHeader() { return "-----BEGIN RSA PUBLIC KEY-----"; }
    static const char* PKCS1PublicFooter() { return "-----END RSA PUBLIC KEY-----"; }
    // Whether the text holds both the header and the footer of that form.
    static bool isX509PublicKey(std::string_view key);
    static bool isPKCS1PublicKey(std::string_view key);

    // The text without every occurrence of `header` and `footer`, line feeds and spaces.
    static std::string strippedKeyHeaderFooter(std::string_view key, std::string_view header, std::string_view footer);
    // The RSA key (PKCS#1 RSAPublicKey bytes) inside the base64 of a SubjectPublicKeyInfo
    // without its header and footer lines; line feeds and spaces are ignored. None when the
    // outer structure is not as expected or no key bytes follow it.
    static std::optional<pf::Bytes> strippedPublicKey(std::string_view key);

    // The keychain query of the RSA key item named by `tag` (its UTF-8 bytes).
    static pf::Keychain::KeyQuery keyQueryDictionary(const std::string& tag);
    // Replaces the tag's key item with the key of the text (see strippedPublicKey). A text
    // that holds no key, or a key the keychain cannot store, changes nothing and answers false.
    static bool setPublicKeyTag(std::string_view key, const std::string& tag);
    static void removeKey(const std::string& tag);
    static std::optional<pf::Bytes> keyDataWithTag(const std::string& tag);
    // None when there is no item or its bytes are not an RSA public key.
    static std::shared_ptr<pf::RsaPublicKey> keyRefWithTag(const std::string& tag);

    // "<bundle identifier>.publicKey", with ".<tag>" when a tag is given.
    static std::string publicKeyIdentifier();
    static std::string publicKeyIdentifierWithTag(const std::optional<std::string>& tag);
};
