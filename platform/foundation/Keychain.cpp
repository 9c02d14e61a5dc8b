#include "platform/foundation/Keychain.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RsaPublicKey.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/TextEncoding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>

namespace pf {

namespace {

std::mutex g_keychainMutex;

constexpr const char* kData = "v_Data";

constexpr const char* kService = "svce";
constexpr const char* kAccount = "acct";

constexpr const char* kKeyClass = "kcls";
constexpr const char* kKeyType = "type";
constexpr const char* kApplicationTag = "atag";
constexpr const char* kAccessible = "pdmn";
constexpr const char* kPublicKey = "public";

// The temporary files of a write, made by mkstemp: "<file>.tmp-" and six letters or digits. The
// mark keeps them apart from a copy a person keeps beside the file ("<file>.backup").
constexpr FileManager::TemporaryNames kTemporaries { ".tmp-", 6, FileManager::kMktempCharacters, false };

// The stored items; a damaged or oversized file is set aside and read as empty. An item that
// does not read is left out; for a caller about to rewrite the file without it (`rewritable`
// given), a copy of the file is set aside first. While that copy cannot be made (a full disk)
// `rewritable` is false and the file must stay as it is: the items that read are kept. A file
// that cannot be read now (the disk refused it at every try, a folder lies at its name) is no
// damage: it is left as it is, nothing is found in it and `rewritable` is false.
Array readItems(const std::string& path, bool* rewritable = nullptr)
{
    auto file = FileManager::readFile(path, Keychain::kMaxFileBytes);
    using Outcome = FileManager::FileRead::Outcome;
    if (file.outcome == Outcome::Missing)
        return {};
    if (file.outcome == Outcome::Unreadable || file.outcome == Outcome::NotAFile) {
        Log::format("Keychain: %s cannot be read now (%s); it is left as it is", path.c_str(), file.reason.c_str());
        if (rewritable)
            *rewritable = false;
        return {};
    }
    std::string error = file.reason;
    std::optional<Value> value;
    size_t leftOut = 0;
    if (file.read())
        value = PropertyList::parseEntries(file.bytes, 1, &leftOut, &error);
    if (value && value->asArray()) {
        if (leftOut > 0 && rewritable) {
            std::string copyError;
            *rewritable = FileManager::setAsideCopy(path, &copyError);
            Log::format("Keychain: %zu items of %s do not read (%s); %s%s", leftOut, path.c_str(), error.c_str(),
                *rewritable ? "a copy of the file is set aside" : "the file stays as it is until a copy of it can be set aside: ",
                *rewritable ? "" : copyError.c_str());
        }
        return *value->asArray();
    }
    Log::format("Keychain: %s is unreadable (%s); starting empty", path.c_str(), !value ? error.c_str() : "not a list");
    FileManager::setAside(path);
    return {};
}

bool writeItems(const std::string& path, const Array& items)
{
    std::string error;
    auto bytes = PropertyList::write(Value(items), PropertyList::Format::Binary, &error);
    if (bytes && bytes->size() > Keychain::kMaxFileBytes)
        error = "the items would not be read back";
    if (!bytes || !error.empty()) {
        Log::format("Keychain: cannot encode the items: %s", error.c_str());
        return false;
    }
    std::string folder = path.substr(0, path.rfind('/'));
    FileManager::createDirectory(folder, true);
    ::chmod(folder.c_str(), 0700);
    // What a write killed part-way left goes; every write of the keychain holds its lock, so
    // none of this process is under way.
    FileManager::removeLeftoverTemporaries(path, kTemporaries);
    std::string temporary = path + std::string(kTemporaries.mark) + "XXXXXX";
    int fd = ::mkstemp(temporary.data()); // created 0600
    if (fd < 0) {
        Log::format("Keychain: cannot write %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    ::fchmod(fd, 0600);
    size_t done = 0;
    int reason = 0;
    while (done < bytes->size()) {
        ssize_t n = ::write(fd, bytes->data() + done, bytes->size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            reason = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 && reason == 0)
        reason = errno;
    if (::close(fd) != 0 && reason == 0)
        reason = errno;
    if (reason == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        reason = errno;
    if (reason != 0) {
        Log::format("Keychain: cannot write %s: %s", path.c_str(), std::strerror(reason));
        ::unlink(temporary.c_str());
        return false;
    }
    // Until the folder is on the disk, a power cut may bring the old items back.
    std::string unflushed;
    if (!FileManager::flushFolderOf(path, &unflushed))
        Log::format("Keychain: %s is written, but %s; a power cut may bring its earlier items back", path.c_str(), unflushed.c_str());
    return true;
}

// The items of each class are told apart by an identity: it answers for the one item asked for,
// and only for an item of the class's shape.
std::optional<Value> findItem(const std::string& path, const std::function<bool(const Value&)>& identity)
{
    std::lock_guard lock(g_keychainMutex);
    for (Value& item : readItems(path)) {
        if (identity(item))
            return std::move(item);
    }
    return std::nullopt;
}

Keychain::Status addItem(const std::string& path, const std::function<bool(const Value&)>& identity, Value item)
{
    std::lock_guard lock(g_keychainMutex);
    bool rewritable = true;
    Array items = readItems(path, &rewritable);
    for (const Value& existing : items) {
        if (identity(existing))
            return Keychain::Status::DuplicateItem;
    }
    if (!rewritable)
        return Keychain::Status::WriteFailed;
    items.push_back(std::move(item));
    return writeItems(path, items) ? Keychain::Status::Success : Keychain::Status::WriteFailed;
}

// The item in place of the one of its identity (or added), in one rewrite: when the file cannot be
// written the old item stays, so a replacement that does not fit loses nothing.
Keychain::Status putItem(const std::string& path, const std::function<bool(const Value&)>& identity, Value item)
{
    std::lock_guard lock(g_keychainMutex);
    bool rewritable = true;
    Array items = readItems(path, &rewritable);
    if (!rewritable)
        return Keychain::Status::WriteFailed;
    auto existing = std::find_if(items.begin(), items.end(), identity);
    if (existing != items.end())
        *existing = std::move(item);
    else
        items.push_back(std::move(item));
    return writeItems(path, items) ? Keychain::Status::Success : Keychain::Status::WriteFailed;
}

// Only the items of the identity go: an item this class cannot read (another component's, or
// one a later version shapes otherwise) is not ours to remove.
Keychain::Status deleteItems(const std::string& path, const std::function<bool(const Value&)>& identity)
{
    std::lock_guard lock(g_keychainMutex);
    bool rewritable = true;
    Array items = readItems(path, &rewritable);
    size_t before = items.size();
    std::erase_if(items, identity);
    // A file that cannot be read now may hold the item: it is not found, nor removed.
    if (items.size() == before)
        return rewritable ? Keychain::Status::ItemNotFound : Keychain::Status::WriteFailed;
    if (!rewritable)
        return Keychain::Status::WriteFailed;
    return writeItems(path, items) ? Keychain::Status::Success : Keychain::Status::WriteFailed;
}

bool isPassword(const Value& item)
{
    return item[kService].asString() && item[kAccount].asString() && item[kData].asData();
}

std::function<bool(const Value&)> passwordIdentity(const std::string& service, const std::string& account)
{
    return [service, account](const Value& item) {
        return isPassword(item) && *item[kService].asString() == service && *item[kAccount].asString() == account;
    };
}

const char* keyTypeName(Keychain::KeyType type)
{
    switch (type) {
    case Keychain::KeyType::Rsa:
        return "rsa";
    }
    return "";
}

const char* accessibilityName(Keychain::Accessibility accessible)
{
    switch (accessible) {
    case Keychain::Accessibility::WhenUnlocked:
        return "whenUnlocked";
    }
    return "";
}

bool isKey(const Value& item)
{
    return item[kKeyClass].asString() && item[kKeyType].asString() && item[kApplicationTag].asData()
        && item[kAccessible].asString() && item[kData].asData();
}

std::function<bool(const Value&)> keyIdentity(const Keychain::KeyQuery& query)
{
    return [type = std::string(keyTypeName(query.type)), tag = query.applicationTag,
               accessible = std::string(accessibilityName(query.accessible))](const Value& item) {
        return isKey(item) && *item[kKeyType].asString() == type && *item[kApplicationTag].asData() == tag
            && *item[kAccessible].asString() == accessible;
    };
}

Value publicKeyItem(const Keychain::KeyQuery& query, const Bytes& data)
{
    return Value(Dictionary {
        { kKeyClass, Value(kPublicKey) },
        { kKeyType, Value(keyTypeName(query.type)) },
        { kApplicationTag, Value(query.applicationTag) },
        { kAccessible, Value(accessibilityName(query.accessible)) },
        { kData, Value(data) },
    });
}

}

Keychain Keychain::standard()
{
    return Keychain(FileManager::join(Sandbox::current()->libraryPath(), "Keychains"));
}

Keychain::Keychain(std::string folder)
    : m_folder(std::move(folder))
{
}

std::string Keychain::passwordsPath() const
{
    return FileManager::join(m_folder, "generic-passwords.plist");
}

std::string Keychain::keysPath() const
{
    return FileManager::join(m_folder, "keys.plist");
}

std::optional<Bytes> Keychain::passwordData(const std::string& service, const std::string& account) const
{
    auto item = findItem(passwordsPath(), passwordIdentity(service, account));
    return item ? std::optional<Bytes>(*(*item)[kData].asData()) : std::nullopt;
}

Keychain::Status Keychain::addPassword(const std::string& service, const std::string& account, const Bytes& data)
{
    if (!TextEncoding::isNulFreeUtf8(service) || !TextEncoding::isNulFreeUtf8(account)) {
        Log::line("Keychain: refusing a password whose service or account is not UTF-8 or holds a NUL");
        return Status::InvalidParameter;
    }
    return addItem(passwordsPath(), passwordIdentity(service, account),
        Value(Dictionary { { kService, Value(service) }, { kAccount, Value(account) }, { kData, Value(data) } }));
}

Keychain::Status Keychain::deletePassword(const std::string& service, const std::string& account)
{
    return deleteItems(passwordsPath(), passwordIdentity(service, account));
}

std::optional<Bytes> Keychain::keyData(const KeyQuery& query) const
{
    auto item = findItem(keysPath(), keyIdentity(query));
    return item ? std::optional<Bytes>(*(*item)[kData].asData()) : std::nullopt;
}

std::shared_ptr<RsaPublicKey> Keychain::keyReference(const KeyQuery& query) const
{
    auto item = findItem(keysPath(), keyIdentity(query));
    if (!item || *(*item)[kKeyClass].asString() != kPublicKey)
        return nullptr;
    return RsaPublicKey::fromPkcs1Der(*(*item)[kData].asData());
}

Keychain::Status Keychain::addPublicKey(const KeyQuery& query, const Bytes& data)
{
    return addItem(keysPath(), keyIdentity(query), publicKeyItem(query, data));
}

Keychain::Status Keychain::setPublicKey(const KeyQuery& query, const Bytes& data)
{
    return putItem(keysPath(), keyIdentity(query), publicKeyItem(query, data));
}

Keychain::Status Keychain::deleteKey(const KeyQuery& query)
{
    return deleteItems(keysPath(), keyIdentity(query));
}

}
