#include "platform/foundation/ResetRegistry.h"

#include <mutex>
#include <vector>

namespace pf {

namespace {

std::mutex g_mutex;

std::vector<std::function<void()>>& resets()
{
    static auto* list = new std::vector<std::function<void()>>(); // lives until the process ends
    return *list;
}

}

void ResetRegistry::add(std::function<void()> reset)
{
    std::lock_guard lock(g_mutex);
    resets().push_back(std::move(reset));
}

void ResetRegistry::resetAll()
{
    std::vector<std::function<void()>> copy;
    {
        std::lock_guard lock(g_mutex);
        copy = resets();
    }
    for (auto& reset : copy)
        reset();
}

}
