#pragma once

#include "platform/foundation/Value.h"

#include <mutex>
#include <optional>
#include <string>

namespace pf {

// The device's keychain of generic-password items: secret data kept by service and account.
//
// Rules:
// - Items live in one binary property list, "Library/Keychains/generic-passwords.plist" of the
//   current sandbox, readable and writable by the owner only (0600, in a 0700 folder). Every
//   change rewrites it atomically (a private temporary file, then rename).
// - An item is found by its exact service and account; adding one that exists is refused
//   (`DuplicateItem`), as the platform does: delete it first.
// - A file that cannot be read, or an item of the wrong shape, is as if absent: the file is
//   logged and set aside as "<name>.corrupt", the item skipped, and nothing throws.
// - Thread-safe: every call takes one process-wide lock and reads the file afresh, so separate
//   Keychain objects on the same file agree.
class Keychain {
public:
    enum class Status { Success, ItemNotFound, DuplicateItem, WriteFailed };

    // The keychain of the current sandbox.
    static Keychain standard();
    explicit Keychain(std::string path);

    const std::string& path() const { return m_path; }

    std::optional<Bytes> passwordData(const std::string& service, const std::string& account) const;
    Status addPassword(const std::string& service, const std::string& account, const Bytes& data);
    Status deletePassword(const std::string& service, const std::string& account);

private:
    std::string m_path;
};

}
