#include "platform/foundation/RsaVerifier.h"

#include "platform/foundation/Crypto.h"
#include "platform/foundation/RsaPublicKey.h"

#include <memory>
#include <mutex>

namespace pf {

bool RsaVerifier::verifyPkcs1Sha1(const Bytes& certificateDer, const Bytes& data, const Bytes& signature)
{
    return verifyPkcs1Sha1Digest(certificateDer, Crypto::sha1(data), signature);
}

namespace {

    using Key = std::shared_ptr<RsaPublicKey>;

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
        Key key = RsaPublicKey::fromCertificateDer(certificateDer);
        if (!key)
            return nullptr;
        std::lock_guard hold(last->lock);
        last->certificate = certificateDer;
        last->key = key;
        return key;
    }

}

bool RsaVerifier::verifyPkcs1Sha1Digest(const Bytes& certificateDer, const Bytes& digest, const Bytes& signature)
{
    if (certificateDer.empty() || signature.empty() || digest.size() != 20)
        return false;
    Key key = keyOf(certificateDer);
    return key && key->verifyPkcs1Sha1Digest(digest, signature);
}

}
