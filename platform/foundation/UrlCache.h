#pragma once

#include <atomic>
#include <cstddef>

namespace pf {

// The shared cache of URL replies. Replies are not cached at all here, so there is never
// anything to serve stale; clearing is counted so callers that must clear it can be checked.
class UrlCache {
public:
    static UrlCache& shared();

    void removeAllCachedResponses() { ++m_removeAllCount; }
    size_t currentMemoryUsage() const { return 0; }
    size_t currentDiskUsage() const { return 0; }

    int removeAllCount() const { return m_removeAllCount.load(); }
    void resetCount() { m_removeAllCount = 0; }

private:
    std::atomic<int> m_removeAllCount { 0 };
};

}
