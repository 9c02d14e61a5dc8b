#include "platform/foundation/RsaPublicKey.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <climits>

namespace pf {

RsaPublicKey::RsaPublicKey(EVP_PKEY* key)
    : m_key(key)
{
}

RsaPublicKey::~RsaPublicKey()
{
    EVP_PKEY_free(m_key);
}

std::shared_ptr<RsaPublicKey> RsaPublicKey::fromPkcs1Der(const Bytes& der)
{
    if (der.empty() || der.size() > static_cast<std::size_t>(LONG_MAX))
        return nullptr;
    const unsigned char* cursor = der.data();
    EVP_PKEY* key = d2i_PublicKey(EVP_PKEY_RSA, nullptr, &cursor, static_cast<long>(der.size()));
    if (!key)
        return nullptr;
    std::shared_ptr<RsaPublicKey> made(new RsaPublicKey(key));
    if (cursor != der.data() + der.size() || EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA || made->blockSize() == 0)
        return nullptr;
    return made;
}

std::shared_ptr<RsaPublicKey> RsaPublicKey::fromCertificateDer(const Bytes& der)
{
    if (der.empty() || der.size() > static_cast<std::size_t>(LONG_MAX))
        return nullptr;
    const unsigned char* cursor = der.data();
    std::unique_ptr<X509, decltype(&X509_free)> certificate(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())), X509_free);
    if (!certificate)
        return nullptr;
    EVP_PKEY* key = X509_get0_pubkey(certificate.get());
    if (!key || EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA || EVP_PKEY_up_ref(key) != 1)
        return nullptr;
    return std::shared_ptr<RsaPublicKey>(new RsaPublicKey(key));
}

std::size_t RsaPublicKey::blockSize() const
{
    int size = EVP_PKEY_get_size(m_key);
    return size > 0 ? static_cast<std::size_t>(size) : 0;
}

bool RsaPublicKey::verifyPkcs1Sha1Digest(const Bytes& digest, const Bytes& signature) const
{
    if (signature.empty() || digest.size() != 20)
        return false;
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(EVP_PKEY_CTX_new(m_key, nullptr), EVP_PKEY_CTX_free);
    if (!context || EVP_PKEY_verify_init(context.get()) <= 0
        || EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) <= 0
        || EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha1()) <= 0)
        return false;
    return EVP_PKEY_verify(context.get(), signature.data(), signature.size(), digest.data(), digest.size()) == 1;
}

}
