#pragma once

// Told when a category tab is touched, with the tab's value (its `index`).
class CategorySelectionControlDelegate {
public:
    virtual ~CategorySelectionControlDelegate() = default;
    virtual void didSelectedCategorySelectionControl(int index) = 0;
};
