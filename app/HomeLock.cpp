#include "app/HomeLock.h"

#include "platform/foundation/FileManager.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct flock wholeFile(short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0; // to the end, however long the file grows
    return lock;
}

}

bool HomeLock::holdForThisProcess(const std::string& home, std::string* error)
{
    const std::string path = pf::FileManager::join(home, kFileName);
    auto fail = [error](std::string reason) {
        if (error)
            *error = std::move(reason);
        return false;
    };
    std::string reason;
    if (!pf::FileManager::createDirectory(home, true, &reason))
        return fail("cannot create " + path + ": " + reason);
    int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return fail("cannot create " + path + ": " + std::strerror(errno));

    // The holder may end between the refusal and the question; the lock is then free to take.
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct flock lock = wholeFile(F_WRLCK);
        if (::fcntl(descriptor, F_SETLK, &lock) == 0)
            return true; // the descriptor stays open, and the hold with it, until the process ends
        if (errno != EACCES && errno != EAGAIN) {
            int why = errno;
            ::close(descriptor);
            return fail("cannot lock " + path + ": " + std::strerror(why));
        }
        struct flock holder = wholeFile(F_WRLCK);
        if (::fcntl(descriptor, F_GETLK, &holder) == 0 && holder.l_type == F_UNLCK)
            continue;
        ::close(descriptor);
        // A holder in another process namespace shows no number.
        return fail(holder.l_pid > 0 ? "another quorvane uses it (process " + std::to_string(holder.l_pid) + ")"
                                     : std::string("another quorvane uses it"));
    }
    ::close(descriptor);
    return fail("another quorvane uses it");
}
