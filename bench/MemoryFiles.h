#pragma once

#include <optional>
#include <string>

// While it lives, temporary files go to a memory file system when there is one: TMPDIR, under
// which sandboxes (and the simulator's home) are made, and which programs started meanwhile
// inherit. A flush to this machine's disk waits behind everyone else's writes: it would measure
// them rather than the code, and hide the code's own work.
class MemoryFiles {
public:
    MemoryFiles();
    ~MemoryFiles();
    MemoryFiles(const MemoryFiles&) = delete;
    MemoryFiles& operator=(const MemoryFiles&) = delete;

private:
    std::optional<std::string> m_previous;
};
