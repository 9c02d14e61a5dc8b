#include "bench/MemoryFiles.h"

#include <cstdlib>
#include <filesystem>

MemoryFiles::MemoryFiles()
{
    if (const char* previous = std::getenv("TMPDIR"))
        m_previous = previous;
    if (std::filesystem::is_directory("/dev/shm"))
        setenv("TMPDIR", "/dev/shm", 1);
}

MemoryFiles::~MemoryFiles()
{
    if (m_previous)
        setenv("TMPDIR", m_previous->c_str(), 1);
    else
        unsetenv("TMPDIR");
}
