#include "sdk/lmconnect/update/TOSDKRSACryptor.h"

#include "sdk/lmconnect/update/MorrowResourceBundle.h"

#include "platform/foundation/Crypto.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RsaVerifier.h"

const char* TOSDKRSACryptor::publicKeyText()
{
    return "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQDQuorvaneScriptsKeyTextIsOnlyAskedForPresenceAndTheCertificate"
           "KeyOfTheResourceBundleDecidesWhetherASignatureIsGoodQuorvaneQuorvaneQuorvaneQuorvaneQuorvaneQuorvaneQ"
           "uorvaneAAAAAQIDAQAB";
}

bool TOSDKRSACryptor::verify(const std::optional<pf::Bytes>& data, const std::optional<std::string>& keyText,
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
