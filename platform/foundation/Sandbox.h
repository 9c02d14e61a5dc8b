#pragma once

#include <memory>
#include <mutex>
#include <string>

namespace pf {

// The app's home folder on the device, with the standard folders beneath it:
//   Documents/, Library/, Library/Caches/, Library/Preferences/, tmp/
//
// Rules:
// - `current()` is the sandbox everything uses (user defaults, persistent pasteboards, the
//   app's own files). Each program sets it (the simulator: a temporary one, or the folder of
//   `--home`; each test: a temporary one). Unless set, it is a temporary one, so that nothing
//   is ever written into a folder no one chose.
// - A temporary sandbox (tests) is a fresh folder under the system's temporary directory,
//   removed with everything in it when the last reference goes.
// - The standard folders are created when the sandbox is made. `atPath` gives none, with the
//   reason, when it cannot create one of them or write in it: everything the app keeps would be
//   lost without a word.
class Sandbox {
public:
    static std::shared_ptr<Sandbox> current();
    // Replaces the current sandbox; nullptr returns to the default on next use.
    static void setCurrent(std::shared_ptr<Sandbox> sandbox);

    static std::shared_ptr<Sandbox> atPath(std::string home, std::string* error = nullptr);
    static std::shared_ptr<Sandbox> createTemporary();

    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& homePath() const { return m_home; }
    std::string documentsPath() const;
    std::string libraryPath() const;
    std::string cachesPath() const;
    std::string preferencesPath() const;
    std::string tmpPath() const;
    bool isTemporary() const { return m_temporary; }

private:
    Sandbox(std::string home, bool temporary);
    // False at the first folder that cannot be made or written, with the reason in `error`;
    // without `error` every such folder is logged instead.
    bool createFolders(std::string* error = nullptr) const;

    std::string m_home;
    bool m_temporary;
};

}
