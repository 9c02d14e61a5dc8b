#include "platform/foundation/Keychain.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pf {

namespace {

std::mutex g_keychainMutex;

constexpr const char* kService = "svce";
constexpr const char* kAccount = "acct";
constexpr const char* kData = "v_Data";

// The stored items; a damaged file is set aside and read as empty.
Array readItems(const std::string& path)
{
    if (!FileManager::exists(path))
        return {};
    std::string error;
    auto value = PropertyList::readFile(path, &error);
    if (value && value->asArray())
        return *value->asArray();
    Log::format("Keychain: %s is unreadable (%s); starting empty", path.c_str(), value ? "not a list" : error.c_str());
    std::string aside = path + ".corrupt";
    FileManager::removeItem(aside);
    FileManager::moveItem(path, aside);
    return {};
}

bool matches(const Value& item, const std::string& service, const std::string& account)
{
    const std::string* s = item[kService].asString();
    const std::string* a = item[kAccount].asString();
    return s && a && *s == service && *a == account && item[kData].asData();
}

bool writeItems(const std::string& path, const Array& items)
{
    std::string error;
    auto bytes = PropertyList::write(Value(items), PropertyList::Format::Binary, &error);
    if (!bytes) {
        Log::format("Keychain: cannot encode the items: %s", error.c_str());
        return false;
    }
    std::string folder = path.substr(0, path.rfind('/'));
    FileManager::createDirectory(folder, true);
    ::chmod(folder.c_str(), 0700);
    std::string temporary = path + ".XXXXXX";
    int fd = ::mkstemp(temporary.data()); // created 0600
    if (fd < 0) {
        Log::format("Keychain: cannot write %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    ::fchmod(fd, 0600);
    size_t done = 0;
    bool ok = true;
    while (done < bytes->size()) {
        ssize_t n = ::write(fd, bytes->data() + done, bytes->size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        Log::format("Keychain: cannot write %s: %s", path.c_str(), std::strerror(errno));
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}

Keychain Keychain::standard()
{
    return Keychain(FileManager::join(FileManager::join(Sandbox::current()->libraryPath(), "Keychains"), "generic-passwords.plist"));
}

Keychain::Keychain(std::string path)
    : m_path(std::move(path))
{
}

std::optional<Bytes> Keychain::passwordData(const std::string& service, const std::string& account) const
{
    std::lock_guard lock(g_keychainMutex);
    for (const Value& item : readItems(m_path)) {
        if (matches(item, service, account))
            return *item[kData].asData();
    }
    return std::nullopt;
}

Keychain::Status Keychain::addPassword(const std::string& service, const std::string& account, const Bytes& data)
{
    std::lock_guard lock(g_keychainMutex);
    Array items = readItems(m_path);
    for (const Value& item : items) {
        if (matches(item, service, account))
            return Status::DuplicateItem;
    }
    items.push_back(Value(Dictionary { { kService, Value(service) }, { kAccount, Value(account) }, { kData, Value(data) } }));
    return writeItems(m_path, items) ? Status::Success : Status::WriteFailed;
}

Keychain::Status Keychain::deletePassword(const std::string& service, const std::string& account)
{
    std::lock_guard lock(g_keychainMutex);
    Array items = readItems(m_path);
    Array kept;
    bool found = false;
    for (Value& item : items) {
        if (matches(item, service, account))
            found = true;
        else if (item[kData].asData()) // items of the wrong shape go too: nothing can read them
            kept.push_back(std::move(item));
    }
    if (!found)
        return Status::ItemNotFound;
    return writeItems(m_path, kept) ? Status::Success : Status::WriteFailed;
}

}
