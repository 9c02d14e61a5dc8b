#pragma once

#include <optional>
#include <string>

// The resource bundle "MorrowOpenApi_IOS_Bundle.bundle": the host list, the scripts' signing
// certificate ("public_key.der") and the shipped script archive ("js.zip").
//
// The certificate and the archive are made when the program is built (the signing key never
// enters the repository), so they are looked for in the main bundle's copy of the resource
// bundle first, then in the build's own.
class MorrowResourceBundle {
public:
    static constexpr const char* kName = "MorrowOpenApi_IOS_Bundle.bundle";
    static constexpr const char* kCertificate = "public_key.der";
    static constexpr const char* kArchive = "js.zip";

    // A file of the bundle, or none.
    static std::optional<std::string> pathForResource(const std::string& fileName);
    // Tests: look in this folder only (empty: back to the default places).
    static void setOverridePath(std::string folder);
};
