#pragma once

#include "platform/foundation/Value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace pf {

class RsaPublicKey;

// The device's keychain: secret data kept for the app. Two classes of items:
// - generic passwords, found by service and account;
// - keys, found by key type and application tag (the owner's bytes that name the key).
//
// Rules:
// - Each class lives in one binary property list of the current sandbox's
//   "Library/Keychains/" folder: "generic-passwords.plist" and "keys.plist", readable and
//   writable by the owner only (0600, in a 0700 folder). Every change rewrites the file
//   atomically (a private temporary file "<file>.tmp-XXXXXX", then rename), and first removes
//   the temporary files that changes killed part-way left; any other file beside it stays. The
//   items belong to this install: a relaunch finds them, a new install (a new sandbox) has none.
// - An item is found by its exact identity; adding one that exists is refused
//   (`DuplicateItem`), as the platform does. A service or account that is not UTF-8 or holds a
//   NUL character cannot be kept as it is, so adding it is refused (`InvalidParameter`) and no
//   item has it. A key is replaced in one rewrite (`setPublicKey`), never by a delete and an
//   add, so a new key that cannot be written (the file would pass its limit) leaves the old one.
// - A file that cannot be read now (the disk refused it at every try, a folder lies at its
//   name) is no damage: it is left as it is and logged; nothing is found in it, and a change
//   fails (`WriteFailed`) rather than write over it.
// - A file that reads whole but is no list, or is larger than `kMaxFileBytes`, or an item of the wrong
//   shape, is as if absent: the file is logged and set aside (`FileManager::setAside`), the
//   item skipped but kept (every change, deletes too, rewrites only the item asked for), and
//   nothing throws. An item that does not read (a text or key that is not UTF-8 or holds a NUL)
//   costs only itself: the other items read, and the first change sets a copy of the file aside
//   before it rewrites the file without that item. A change that cannot make that copy (a full
//   disk) fails (`WriteFailed`) and leaves the file as it is; the next change tries again.
// - Thread-safe: every call takes one process-wide lock and reads the file afresh, so separate
//   Keychain objects on the same folder agree.
class Keychain {
public:
    enum class Status { Success, ItemNotFound, DuplicateItem, WriteFailed, InvalidParameter };
    enum class KeyType { Rsa };
    // This device is never locked, so the attribute is only recorded with the item.
    enum class Accessibility { WhenUnlocked };

    // Which key item: its type and application tag.
    struct KeyQuery {
        KeyType type = KeyType::Rsa;
        Bytes applicationTag;
        Accessibility accessible = Accessibility::WhenUnlocked;
        bool operator==(const KeyQuery&) const = default;
    };

    // Items are small; a file beyond this is damaged.
    static constexpr std::uint64_t kMaxFileBytes = 1u << 20;

    // The keychain of the current sandbox.
    static Keychain standard();
    // The keychain whose files lie in `folder`.
    explicit Keychain(std::string folder);

    const std::string& folder() const { return m_folder; }
    std::string passwordsPath() const;
    std::string keysPath() const;

    std::optional<Bytes> passwordData(const std::string& service, const std::string& account) const;
    Status addPassword(const std::string& service, const std::string& account, const Bytes& data);
    Status deletePassword(const std::string& service, const std::string& account);

    // The key's bytes as they were added.
    std::optional<Bytes> keyData(const KeyQuery& query) const;
    // The key as a key reference: none when there is no such item or its bytes are not a
    // PKCS#1 RSA public key.
    std::shared_ptr<RsaPublicKey> keyReference(const KeyQuery& query) const;
    // Adds `data` (a PKCS#1 RSAPublicKey, not checked here) as the public key of the query.
    Status addPublicKey(const KeyQuery& query, const Bytes& data);
    // The same, replacing the data of the query's item when there is one. On `WriteFailed` the
    // file is as it was: the old item stays.
    Status setPublicKey(const KeyQuery& query, const Bytes& data);
    Status deleteKey(const KeyQuery& query);

private:
    std::string m_folder;
};

}
