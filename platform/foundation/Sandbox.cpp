#include "platform/foundation/Sandbox.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace pf {

namespace {
std::mutex g_mutex;
std::shared_ptr<Sandbox> g_current;
}

std::shared_ptr<Sandbox> Sandbox::current()
{
    std::lock_guard lock(g_mutex);
    if (!g_current)
        g_current = createTemporary();
    return g_current;
}

void Sandbox::setCurrent(std::shared_ptr<Sandbox> sandbox)
{
    std::shared_ptr<Sandbox> old;
    std::lock_guard lock(g_mutex);
    old = std::move(g_current); // released after the lock, outside the critical section
    g_current = std::move(sandbox);
}

std::shared_ptr<Sandbox> Sandbox::atPath(std::string home, std::string* error)
{
    auto sandbox = std::shared_ptr<Sandbox>(new Sandbox(std::move(home), false));
    std::string reason;
    if (!sandbox->createFolders(&reason)) {
        if (error)
            *error = std::move(reason);
        return nullptr;
    }
    return sandbox;
}

std::shared_ptr<Sandbox> Sandbox::createTemporary()
{
    std::error_code ec;
    std::string base = std::filesystem::temp_directory_path(ec).string();
    if (ec || base.empty())
        base = "/tmp";
    std::string pattern = FileManager::join(base, "quorvane-sandbox-XXXXXX");
    if (!::mkdtemp(pattern.data()))
        Log::format("Sandbox: cannot create a temporary folder under %s", base.c_str());
    auto sandbox = std::shared_ptr<Sandbox>(new Sandbox(pattern, true));
    sandbox->createFolders();
    return sandbox;
}

Sandbox::Sandbox(std::string home, bool temporary)
    : m_home(std::move(home))
    , m_temporary(temporary)
{
}

Sandbox::~Sandbox()
{
    if (m_temporary) {
        std::error_code ec;
        std::filesystem::remove_all(m_home, ec);
    }
}

bool Sandbox::createFolders(std::string* error) const
{
    bool made = true;
    for (const auto& path : { documentsPath(), cachesPath(), preferencesPath(), tmpPath() }) {
        std::string reason;
        if (!FileManager::createDirectory(path, true, &reason))
            reason = "cannot create " + path + ": " + reason;
        else if (::access(path.c_str(), W_OK) != 0)
            reason = "cannot write in " + path + ": " + std::strerror(errno);
        else
            continue;
        if (error) {
            *error = std::move(reason);
            return false;
        }
        Log::format("Sandbox: %s", reason.c_str());
        made = false;
    }
    return made;
}

std::string Sandbox::documentsPath() const { return FileManager::join(m_home, "Documents"); }
std::string Sandbox::libraryPath() const { return FileManager::join(m_home, "Library"); }
std::string Sandbox::cachesPath() const { return FileManager::join(m_home, "Library/Caches"); }
std::string Sandbox::preferencesPath() const { return FileManager::join(m_home, "Library/Preferences"); }
std::string Sandbox::tmpPath() const { return FileManager::join(m_home, "tmp"); }

}
