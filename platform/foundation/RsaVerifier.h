#pragma once

#include "platform/foundation/Value.h"

namespace pf {

// RSA signature checks against the key of an X.509 certificate (DER).
//
// Rules:
// - Only the certificate's own key decides: no chain, dates or purposes are checked (the
//   certificate is an anchor the app ships).
// - A certificate that does not parse, a key that is not RSA, an empty signature or any failure
//   of the library answers false; nothing throws.
class RsaVerifier {
public:
    // PKCS#1 v1.5 padding over the SHA-1 digest of `data`.
    static bool verifyPkcs1Sha1(const Bytes& certificateDer, const Bytes& data, const Bytes& signature);
    // The same over a SHA-1 digest computed already (20 bytes).
    static bool verifyPkcs1Sha1Digest(const Bytes& certificateDer, const Bytes& digest, const Bytes& signature);
};

}
