#pragma once

#include <optional>
#include <string>

// The resource bundle "MorrowOpenApi_IOS_Bundle.bundle" of the app's main bundle: the host
// list, the scripts' signing certificate ("public_key.der", the trust anchor of every script
// update) and the shipped script archive ("js.zip").
//
// The certificate and the archive are made when the app is built and shipped in its
// resources, like everything else; the key that signs is never among them. Only the main
// bundle is read: a bundle without them has no scripts.
class MorrowResourceBundle {
public:
    static constexpr const char* kName = "MorrowOpenApi_IOS_Bundle.bundle";
    static constexpr const char* kCertificate = "public_key.der";
    static constexpr const char* kArchive = "js.zip";

    // A file of the bundle, or none.
    static std::optional<std::string> pathForResource(const std::string& fileName);
};
