#include "tools/scriptbundle/TestSigningKey.h"

#include "platform/foundation/FileManager.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <cstdio>
#include <memory>

namespace scriptbundle {

namespace {

template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, decltype([](T* p) { Free(p); })>;

bool fail(std::string* error, const char* what)
{
    if (error)
        *error = what;
    return false;
}

}

bool TestSigningKey::generate(const std::string& keyPemPath, const std::string& certificateDerPath, std::string* error)
{
    Owned<EVP_PKEY, EVP_PKEY_free> key(EVP_RSA_gen(2048));
    if (!key)
        return fail(error, "cannot make an RSA key");
    Owned<X509, X509_free> certificate(X509_new());
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 60L * 60 * 24 * 3650);
    X509_set_pubkey(certificate.get(), key.get());
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Quorvane script signing (test)"), -1, -1, 0);
    X509_set_issuer_name(certificate.get(), name);
    if (X509_sign(certificate.get(), key.get(), EVP_sha256()) <= 0)
        return fail(error, "cannot sign the certificate");

    unsigned char* der = nullptr;
    int length = i2d_X509(certificate.get(), &der);
    if (length <= 0)
        return fail(error, "cannot write the certificate");
    pf::Bytes certificateBytes(der, der + length);
    OPENSSL_free(der);
    if (!pf::FileManager::writeAtomically(certificateDerPath, certificateBytes, error))
        return false;

    FILE* file = std::fopen(keyPemPath.c_str(), "wb");
    if (!file)
        return fail(error, "cannot write the key");
    bool written = PEM_write_PrivateKey(file, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    std::fclose(file);
    return written || fail(error, "cannot write the key");
}

std::optional<pf::Bytes> TestSigningKey::sign(const std::string& keyPemPath, const pf::Bytes& data, std::string* error)
{
    FILE* file = std::fopen(keyPemPath.c_str(), "rb");
    if (!file) {
        fail(error, "cannot read the key");
        return std::nullopt;
    }
    Owned<EVP_PKEY, EVP_PKEY_free> key(PEM_read_PrivateKey(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    if (!key) {
        fail(error, "the key does not parse");
        return std::nullopt;
    }
    Owned<EVP_MD_CTX, EVP_MD_CTX_free> context(EVP_MD_CTX_new());
    EVP_PKEY_CTX* keyContext = nullptr;
    size_t length = 0;
    if (EVP_DigestSignInit(context.get(), &keyContext, EVP_sha1(), nullptr, key.get()) <= 0
        || EVP_PKEY_CTX_set_rsa_padding(keyContext, RSA_PKCS1_PADDING) <= 0
        || EVP_DigestSign(context.get(), nullptr, &length, data.data(), data.size()) <= 0) {
        fail(error, "cannot sign");
        return std::nullopt;
    }
    pf::Bytes signature(length);
    if (EVP_DigestSign(context.get(), signature.data(), &length, data.data(), data.size()) <= 0) {
        fail(error, "cannot sign");
        return std::nullopt;
    }
    signature.resize(length);
    return signature;
}

}
