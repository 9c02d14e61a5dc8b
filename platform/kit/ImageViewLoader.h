#pragma once

#include "platform/ui/ImageView.h"

#include <memory>
#include <string>

namespace pf {

class Image;

// Puts pictures from the network into image views through ImageLoader::shared() (memory and
// disk cache, one download per address).
//
// Rules:
// - The view shows the placeholder (or no image) at once, then the picture when it arrives
//   (at once on a memory hit). A failed load, or bytes that are no picture, leave it so.
// - A view is bound to its latest address only: when it is given another address (or an empty
//   one, or `cancelLoad`) before the earlier picture arrives, the earlier picture is not shown.
// - The view is held weakly: a view that goes away before its picture arrives is not kept.
// - Main thread only.
class ImageViewLoader {
public:
    static void setImageWithURL(const std::shared_ptr<ImageView>& view, const std::string& url);
    static void setImageWithURL(const std::shared_ptr<ImageView>& view, const std::string& url,
        std::shared_ptr<Image> placeholder);
    static void cancelLoad(const std::shared_ptr<ImageView>& view);
    // The address the view is waiting for, empty when none.
    static std::string pendingURL(const std::shared_ptr<ImageView>& view);
};

}
