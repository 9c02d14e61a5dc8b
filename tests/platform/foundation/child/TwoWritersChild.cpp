// Started by the tests of writes cut short: two writes of one file at once in one process. The
// first, held by the kill library once it has made its temporary file, waits while the second
// runs and ends; then both must have written, the first last.
//   two_writers_child HOME

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

std::mutex g_mutex;
std::condition_variable g_changed;
bool g_held = false;
bool g_released = false;

}

// Where the kill library holds the first write.
extern "C" __attribute__((visibility("default"))) void quorvane_kill_at_step_hold()
{
    std::unique_lock lock(g_mutex);
    g_held = true;
    g_changed.notify_all();
    g_changed.wait(lock, [] { return g_released; });
}

int main(int argc, char** argv)
{
    auto sandbox = argc == 2 ? pf::Sandbox::atPath(argv[1]) : nullptr;
    if (!sandbox)
        return 2;
    const std::string path = pf::FileManager::join(sandbox->documentsPath(), "shared.plist");
    bool first = false;
    std::thread held([&] { first = pf::FileManager::writeAtomically(path, std::string_view("first")); });
    {
        std::unique_lock lock(g_mutex);
        g_changed.wait(lock, [] { return g_held; });
    }
    bool second = pf::FileManager::writeAtomically(path, std::string_view("second"));
    {
        std::lock_guard lock(g_mutex);
        g_released = true;
    }
    g_changed.notify_all();
    held.join();
    std::fprintf(stderr, "first %d, second %d\n", first, second);
    return first && second && pf::FileManager::readText(path) == "first" ? 0 : 1;
}
