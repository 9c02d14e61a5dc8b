#pragma once

// Told which tab of a HardPickingItems strip was touched: the value 10 + the tab's position
// (from the left, from 0).
class HardPickingItemsDelegate {
public:
    virtual ~HardPickingItemsDelegate() = default;
    virtual void didSelectedItem(int item) = 0;
};
