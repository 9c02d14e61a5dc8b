#pragma once

#include <functional>
#include <memory>

namespace pf {
class ViewController;
}

// The one place where the gift screens make the screens they open: the lists and the carousel
// open a gift's detail screen, the category screen opens the search screen.
//
// Rules:
// - A factory returns null when it has no screen to offer; the caller then pushes nothing.
// - Tests may replace a factory (and put it back with an empty one).
class GiftScreenFactory {
public:
    using DetailFactory = std::function<std::shared_ptr<pf::ViewController>(int fid)>;
    using SearchFactory = std::function<std::shared_ptr<pf::ViewController>()>;

    // A new detail screen for the gift `fid`.
    static std::shared_ptr<pf::ViewController> giftDetailViewController(int fid);
    // A new search screen.
    static std::shared_ptr<pf::ViewController> giftSearchingPageViewController();

    static void setDetailFactory(DetailFactory factory);
    static void setSearchFactory(SearchFactory factory);
};
