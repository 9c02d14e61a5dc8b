#pragma once

#include <functional>

// Runs a block once after a delay on the main run loop (the loop every caller here runs on).
class PerformBlockAfterDelay {
public:
    static void performBlock(std::function<void()> block, double delay);
    static void fireBlockAfterDelay(const std::function<void()>& block);
};
