#include "platform/foundation/RsaVerifier.h"

#include "platform/foundation/Crypto.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>
#include <mutex>

namespace pf {

bool RsaVerifier::verifyPkcs1Sha1(const Bytes& certificateDer, const Bytes& data, const Bytes& signature)
{
    return verifyPkcs1Sha1Digest(certificateDer, Crypto::sha1(data), signature);
}

namespace {

    using Key = std::shared_ptr<EVP_PKEY>;

    // The key of `certificateDer`, or none. The app checks every script folder against the one
    // certificate it ships, so the last certificate's key is kept: parsing the certificate
    // costs more than the check itself. The bytes decide, so another certificate is parsed anew.
    Key keyOf(const Bytes& certificateDer)
    {
        // Never destroyed: freeing a key after the library's own clean-up at exit is not safe.
        struct Last {
            std::mutex lock;
            Bytes certificate;
            Key key;
        };
        static auto* last = new Last();
        {
            std::lock_guard hold(last->lock);
            if (last->key && last->certificate == certificateDer)
                return last->key;
        }
        const unsigned char* cursor = certificateDer.data();
        std::unique_ptr<X509, decltype(&X509_free)> certificate(
            d2i_X509(nullptr, &cursor, static_cast<long>(certificateDer.size())), X509_free);
        if (!certificate)
            return nullptr;
        EVP_PKEY* key = X509_get0_pubkey(certificate.get());
        if (!key || EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA || EVP_PKEY_up_ref(key) != 1)
            return nullptr;
        Key shared(key, EVP_PKEY_free);
        std::lock_guard hold(last->lock);
        last->certificate = certificateDer;
        last->key = shared;
        return shared;
    }

}

bool RsaVerifier::verifyPkcs1Sha1Digest(const Bytes& certificateDer, const Bytes& digest, const Bytes& signature)
{
    if (certificateDer.empty() || signature.empty() || digest.size() != 20)
        return false;
    Key key = keyOf(certificateDer);
    if (!key)
        return false;
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(EVP_PKEY_CTX_new(key.get(), nullptr), EVP_PKEY_CTX_free);
    if (!context || EVP_PKEY_verify_init(context.get()) <= 0
        || EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) <= 0
        || EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha1()) <= 0)
        return false;
    return EVP_PKEY_verify(context.get(), signature.data(), signature.size(), digest.data(), digest.size()) == 1;
}

}
