#pragma once

#include <string>

// The hold of one running simulator on a device's home (`--home`), as a browser holds its
// profile. Each process keeps its own copy of the settings and writes the whole file back, so two
// on one home would erase each other's sign-in; the second one is refused instead.
//
// Rules:
// - Taken before anything else in the home is touched: the home is made when missing, then the
//   lock file (`kFileName`) in it, which is all a refused start leaves there.
// - The hold lasts as long as the process, not as long as some object: the process still writes
//   in the home while it exits (the queued pictures, the statistics, the settings).
// - It is a POSIX record lock (fcntl) on that file, so the system ends it with the process
//   however it ends, SIGKILL included: there is never a stale lock to clear by hand. The file's
//   contents mean nothing, and it stays when the hold ends.
// - A home another process holds is refused, naming that process when the system tells it
//   (F_GETLK). A file system that keeps no locks refuses the home too: the hold would be none.
// - A record lock also ends when the process closes any descriptor of the file: nothing else
//   in the process opens it.
class HomeLock {
public:
    static constexpr const char* kFileName = ".quorvane.lock";

    // Holds `home` for this process; false when another process holds it or the hold cannot
    // be taken, with the reason in `error` ("another quorvane uses it (process 1234)").
    static bool holdForThisProcess(const std::string& home, std::string* error);

    HomeLock() = delete;
};
