#pragma once

namespace pf {

class ScrollView;

// What a scroll view reports while it is dragged, decelerates or scrolls by itself. Every
// operation is optional.
class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    // Every change of the content offset, whatever caused it.
    virtual void scrollViewDidScroll(ScrollView& scrollView) { }
    virtual void scrollViewWillBeginDragging(ScrollView& scrollView) { }
    // The finger lifted; `willDecelerate` tells whether the content goes on moving.
    virtual void scrollViewDidEndDragging(ScrollView& scrollView, bool willDecelerate) { }
    virtual void scrollViewWillBeginDecelerating(ScrollView& scrollView) { }
    virtual void scrollViewDidEndDecelerating(ScrollView& scrollView) { }
    // An animated `setContentOffset` came to its end.
    virtual void scrollViewDidEndScrollingAnimation(ScrollView& scrollView) { }
};

}
