#include "core/storage/CutMend.h"

#include "core/storage/MendNames.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"

CutMend::Outcome CutMend::finish(const std::string& path)
{
    const auto& journals = MendNames::journals();
    const auto working = MendNames::finishedWorkingFile(path);
    std::string error;
    if (auto aside = pf::FileManager::asideLinkOf(path, journals)) {
        // Written through, the store would change the copy aside; opened, it could roll a
        // journal back into it.
        if (!working)
            return Outcome::MendAgain;
        if (!pf::FileManager::setAsideLinkWith(path, journals, &error) || !pf::FileManager::replaceItem(*working, path, &error)) {
            pf::Log::format("GameDatabase: the file mended before the last launch ended cannot be put in place: %s", error.c_str());
            return Outcome::Blocked;
        }
        MendNames::flushPlacement(path);
        pf::FileManager::dropCompanionsKeptAside(path, journals);
        pf::Log::format("GameDatabase: the file mended before the last launch ended is put in place; the damaged file lies at %s",
            aside->c_str());
        return Outcome::Finished;
    }
    if (!pf::FileManager::isOccupied(path)) {
        // A file still being written (its journal beside it) is not taken, nor removed.
        if (!working)
            return Outcome::None;
        // The journals left behind go beside the damaged file the mend moved, named by its
        // record: never guessed from the names taken, which may be older copies'.
        const auto aside = MendNames::recordedAside(path, *working);
        if (auto went = pf::FileManager::finishSetAsideWith(path, aside, journals); went && went != aside)
            pf::Log::format("GameDatabase: the journals the damaged file left behind lie at %s, beside no file", went->c_str());
        if (!pf::FileManager::replaceItem(*working, path, &error)) {
            pf::Log::format("GameDatabase: the file mended before the last launch ended cannot be put in place: %s", error.c_str());
            return Outcome::Blocked;
        }
        MendNames::flushPlacement(path);
        MendNames::removeWorkingFile(*working);
        pf::Log::format("GameDatabase: the file mended before the last launch ended is put in place%s",
            aside ? ("; the damaged file lies at " + *aside).c_str() : "");
        return Outcome::Finished;
    }
    pf::FileManager::dropCompanionsKeptAside(path, journals);
    MendNames::removeLeftovers(path);
    return Outcome::None;
}
