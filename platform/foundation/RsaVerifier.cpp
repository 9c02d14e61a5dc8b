#include "platform/foundation/RsaVerifier.h"

#include "platform/foundation/Crypto.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>

namespace pf {

bool RsaVerifier::verifyPkcs1Sha1(const Bytes& certificateDer, const Bytes& data, const Bytes& signature)
{
    return verifyPkcs1Sha1Digest(certificateDer, Crypto::sha1(data), signature);
}

bool RsaVerifier::verifyPkcs1Sha1Digest(const Bytes& certificateDer, const Bytes& digest, const Bytes& signature)
{
    if (certificateDer.empty() || signature.empty() || digest.size() != 20)
        return false;
    const unsigned char* cursor = certificateDer.data();
    std::unique_ptr<X509, decltype(&X509_free)> certificate(
        d2i_X509(nullptr, &cursor, static_cast<long>(certificateDer.size())), X509_free);
    if (!certificate)
        return false;
    EVP_PKEY* key = X509_get0_pubkey(certificate.get());
    if (!key || EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA)
        return false;
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(EVP_PKEY_CTX_new(key, nullptr), EVP_PKEY_CTX_free);
    if (!context || EVP_PKEY_verify_init(context.get()) <= 0
        || EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) <= 0
        || EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha1()) <= 0)
        return false;
    return EVP_PKEY_verify(context.get(), signature.data(), signature.size(), digest.data(), digest.size()) == 1;
}

}
