#include "platform/foundation/Sandbox.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"

#include <cstdlib>
#include <filesystem>

namespace pf {

namespace {
std::mutex g_mutex;
std::shared_ptr<Sandbox> g_current;
}

std::shared_ptr<Sandbox> Sandbox::current()
{
    std::lock_guard lock(g_mutex);
    if (!g_current)
        g_current = std::shared_ptr<Sandbox>(new Sandbox(defaultHomePath(), false));
    return g_current;
}

void Sandbox::setCurrent(std::shared_ptr<Sandbox> sandbox)
{
    std::shared_ptr<Sandbox> old;
    std::lock_guard lock(g_mutex);
    old = std::move(g_current); // released after the lock, outside the critical section
    g_current = std::move(sandbox);
}

std::shared_ptr<Sandbox> Sandbox::atPath(std::string home)
{
    return std::shared_ptr<Sandbox>(new Sandbox(std::move(home), false));
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
    return std::shared_ptr<Sandbox>(new Sandbox(pattern, true));
}

std::string Sandbox::defaultHomePath()
{
    if (const char* home = std::getenv("QUORVANE_HOME"); home && *home)
        return home;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return FileManager::join(data, "quorvane");
    if (const char* user = std::getenv("HOME"); user && *user)
        return FileManager::join(user, ".local/share/quorvane");
    return "/tmp/quorvane";
}

Sandbox::Sandbox(std::string home, bool temporary)
    : m_home(std::move(home))
    , m_temporary(temporary)
{
    createFolders();
}

Sandbox::~Sandbox()
{
    if (m_temporary) {
        std::error_code ec;
        std::filesystem::remove_all(m_home, ec);
    }
}

void Sandbox::createFolders() const
{
    for (const auto& path : { documentsPath(), cachesPath(), preferencesPath(), tmpPath() }) {
        std::string error;
        if (!FileManager::createDirectory(path, true, &error))
            Log::format("Sandbox: cannot create %s: %s", path.c_str(), error.c_str());
    }
}

std::string Sandbox::documentsPath() const { return FileManager::join(m_home, "Documents"); }
std::string Sandbox::libraryPath() const { return FileManager::join(m_home, "Library"); }
std::string Sandbox::cachesPath() const { return FileManager::join(m_home, "Library/Caches"); }
std::string Sandbox::preferencesPath() const { return FileManager::join(m_home, "Library/Preferences"); }
std::string Sandbox::tmpPath() const { return FileManager::join(m_home, "tmp"); }

}
