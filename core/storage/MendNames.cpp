#include "core/storage/MendNames.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"

#include <algorithm>
#include <charconv>
#include <sys/stat.h>

namespace {

const char* const kRebuiltSuffix = ".rebuilt";
const char* const kAsideRecordSuffix = ".aside";

std::string asideRecordOf(const std::string& working)
{
    return working + kAsideRecordSuffix;
}

std::vector<std::string> workingCompanions()
{
    std::vector<std::string> companions = MendNames::journals();
    companions.push_back(kAsideRecordSuffix);
    return companions;
}

// The aside path `name` gives when it is one of the store's aside names as the store writes it
// ("-2", never "-02").
std::optional<std::string> asideNamed(const std::string& path, const std::string& name)
{
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    const std::string first = pf::FileManager::asidePath(path).substr(folder.size());
    int n = 1;
    if (name != first) {
        const char* end = name.data() + name.size();
        if (!name.starts_with(first + "-") || std::from_chars(name.data() + first.size() + 1, end, n).ptr != end || n < 2)
            return std::nullopt;
    }
    if (pf::FileManager::asidePath(path, n) != folder + name)
        return std::nullopt;
    return folder + name;
}

bool statOf(const std::string& path, struct stat& info)
{
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}

const std::vector<std::string>& MendNames::journals()
{
    static const std::vector<std::string> kJournals { "-journal", "-wal", "-shm" };
    return kJournals;
}

std::string MendNames::workingPath(const std::string& path, int n)
{
    return path + kRebuiltSuffix + (n > 1 ? "-" + std::to_string(n) : "");
}

bool MendNames::leftByAMend(const std::string& name)
{
    return pf::FileManager::isOwnFile(name);
}

void MendNames::removeWorkingFile(const std::string& working)
{
    if (leftByAMend(working))
        pf::FileManager::removeFile(working);
    for (const auto& suffix : workingCompanions()) {
        if (leftByAMend(working + suffix))
            pf::FileManager::removeFile(working + suffix);
    }
    pf::FileManager::removeLeftoverTemporaries(asideRecordOf(working));
}

void MendNames::removeLeftovers(const std::string& path)
{
    for (int n = 1; n <= kWorkingNames; ++n)
        removeWorkingFile(workingPath(path, n));
}

std::optional<std::string> MendNames::freeWorkingPath(const std::string& path)
{
    for (int n = 1; n <= kWorkingNames; ++n) {
        const std::string working = workingPath(path, n);
        const auto companions = workingCompanions();
        if (!pf::FileManager::isOccupied(working)
            && std::none_of(companions.begin(), companions.end(),
                [&](const std::string& suffix) { return pf::FileManager::isOccupied(working + suffix); }))
            return working;
    }
    return std::nullopt;
}

std::optional<std::string> MendNames::finishedWorkingFile(const std::string& path)
{
    // At most one working name holds a file of the mend's: each mend removes the others first.
    for (int n = 1; n <= kWorkingNames; ++n) {
        const std::string working = workingPath(path, n);
        if (!leftByAMend(working))
            continue;
        if (std::any_of(journals().begin(), journals().end(),
                [&](const std::string& suffix) { return pf::FileManager::isOccupied(working + suffix); }))
            return std::nullopt;
        return working;
    }
    return std::nullopt;
}

bool MendNames::writeAsideRecord(const std::string& working, const std::string& path, const std::string& aside,
    std::string* error)
{
    struct stat info {};
    if (!statOf(path, info)) {
        if (error)
            *error = "the damaged file cannot be looked at";
        return false;
    }
    const std::string record = aside.substr(aside.rfind('/') + 1) + "\n" + std::to_string(info.st_ino) + " "
        + std::to_string(info.st_size) + "\n";
    return pf::FileManager::writeAtomically(asideRecordOf(working), std::string_view(record), error);
}

std::optional<std::string> MendNames::recordedAside(const std::string& path, const std::string& working)
{
    const std::string record = asideRecordOf(working);
    if (!leftByAMend(record))
        return std::nullopt;
    auto bytes = pf::FileManager::read(record, 256);
    if (!bytes)
        return std::nullopt;
    const std::string text(bytes->begin(), bytes->end());
    const size_t line = text.find('\n');
    const auto aside = asideNamed(path, text.substr(0, line));
    struct stat info {};
    if (!aside || !statOf(*aside, info))
        return std::nullopt;
    if (line == std::string::npos)
        return std::nullopt;
    if (text != text.substr(0, line + 1) + std::to_string(info.st_ino) + " " + std::to_string(info.st_size) + "\n")
        return std::nullopt;
    return aside;
}

void MendNames::flushPlacement(const std::string& path)
{
    std::string error;
    if (!pf::FileManager::flushFolderOf(path, &error))
        pf::Log::format("GameDatabase: the mended file is in place, but %s", error.c_str());
}
