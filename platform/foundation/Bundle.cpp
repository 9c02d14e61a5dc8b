#include "platform/foundation/Bundle.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyList.h"

#include <cstdlib>
#include <mutex>

#ifndef QUORVANE_DEFAULT_RESOURCES
#define QUORVANE_DEFAULT_RESOURCES "app/resources"
#endif

namespace pf {

namespace {

std::mutex g_mutex;
std::shared_ptr<Bundle> g_main;

bool isSafeName(const std::string& s)
{
    if (s.empty())
        return true;
    if (s.front() == '/' || s.find('\0') != std::string::npos)
        return false;
    // No ".." path segment anywhere.
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find('/', start);
        if (end == std::string::npos)
            end = s.size();
        if (s.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

}

std::shared_ptr<Bundle> Bundle::main()
{
    std::lock_guard lock(g_mutex);
    if (!g_main)
        g_main = std::shared_ptr<Bundle>(new Bundle(defaultMainPath()));
    return g_main;
}

void Bundle::setMain(std::shared_ptr<Bundle> bundle)
{
    std::shared_ptr<Bundle> old;
    std::lock_guard lock(g_mutex);
    old = std::move(g_main);
    g_main = std::move(bundle);
}

std::string Bundle::defaultMainPath()
{
    if (const char* path = std::getenv("QUORVANE_RESOURCES"); path && *path)
        return path;
    return QUORVANE_DEFAULT_RESOURCES;
}

std::shared_ptr<Bundle> Bundle::atPath(const std::string& path)
{
    if (!FileManager::isDirectory(path))
        return nullptr;
    return std::shared_ptr<Bundle>(new Bundle(path));
}

Bundle::Bundle(std::string path)
    : m_path(std::move(path))
{
    auto info = PropertyList::readFile(FileManager::join(m_path, "Info.plist"));
    m_info = (info && info->isDictionary()) ? std::move(*info) : Value(Dictionary {});
}

std::string Bundle::bundleIdentifier() const { return m_info["CFBundleIdentifier"].stringValue(); }
std::string Bundle::version() const { return m_info["CFBundleVersion"].stringValue(); }
std::string Bundle::shortVersion() const { return m_info["CFBundleShortVersionString"].stringValue(); }

std::string Bundle::displayName() const
{
    std::string name = m_info["CFBundleDisplayName"].stringValue();
    return name.empty() ? m_info["CFBundleName"].stringValue() : name;
}

std::vector<std::string> Bundle::urlSchemes() const
{
    std::vector<std::string> schemes;
    const Array* types = m_info["CFBundleURLTypes"].asArray();
    if (!types)
        return schemes;
    for (const auto& type : *types) {
        const Array* list = type["CFBundleURLSchemes"].asArray();
        if (!list)
            continue;
        for (const auto& scheme : *list)
            if (const std::string* s = scheme.asString())
                schemes.push_back(*s);
    }
    return schemes;
}

void Bundle::setInfoValue(const std::string& key, Value value)
{
    m_info.set(key, std::move(value));
}

std::optional<std::string> Bundle::pathForResource(const std::string& name, const std::string& type, const std::string& subdirectory) const
{
    if (name.empty() || !isSafeName(name) || !isSafeName(type) || !isSafeName(subdirectory) || type.find('/') != std::string::npos)
        return std::nullopt;
    std::string file = name;
    if (!type.empty()) {
        std::string suffix = "." + type;
        if (file.size() < suffix.size() || file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0)
            file += suffix;
    }
    std::string folder = subdirectory.empty() ? m_path : FileManager::join(m_path, subdirectory);
    std::string path = FileManager::join(folder, file);
    if (!FileManager::exists(path))
        return std::nullopt;
    return path;
}

std::vector<std::string> Bundle::pathsForResources(const std::string& type, const std::string& subdirectory) const
{
    std::vector<std::string> paths;
    if (!isSafeName(subdirectory) || !isSafeName(type))
        return paths;
    std::string folder = subdirectory.empty() ? m_path : FileManager::join(m_path, subdirectory);
    std::string suffix = "." + type;
    for (const auto& name : FileManager::contentsOfDirectory(folder)) {
        if (type.empty() || (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0))
            paths.push_back(FileManager::join(folder, name));
    }
    return paths;
}

std::optional<Bytes> Bundle::dataForResource(const std::string& name, const std::string& type) const
{
    auto path = pathForResource(name, type);
    if (!path)
        return std::nullopt;
    return FileManager::read(*path);
}

std::optional<Value> Bundle::propertyListResource(const std::string& name) const
{
    auto path = pathForResource(name, "plist");
    if (!path)
        return std::nullopt;
    return PropertyList::readFile(*path);
}

std::shared_ptr<Bundle> Bundle::nestedBundle(const std::string& name) const
{
    auto path = pathForResource(name, "bundle");
    if (!path)
        return nullptr;
    return atPath(*path);
}

}
