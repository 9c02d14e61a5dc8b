#pragma once

#include "platform/graphics/Geometry.h"

#include <memory>
#include <string>

namespace pf {
class Image;
class TableViewCell;
class ViewController;
}

// Makes the image buttons of the navigation bar and the striped cell backgrounds the screens
// share.
//
// A bar button is a 50 x 44 container holding the named image at a fixed place and, above it,
// a transparent button of the container's size that sends `action` to the controller (held
// weakly) on touch-up-inside; the controller handles the action by name (Responder::onAction).
class CustomControlApperanceCreator {
public:
    static constexpr double kBarButtonWidth = 50;
    static constexpr double kBarButtonHeight = 44;

    // Left bar button. The image sits at `imageFrame`; on a tablet it is centred horizontally in
    // the container instead (same y and size).
    static void assignCustomBackBarButtonItem(const std::shared_ptr<pf::ViewController>& controller,
        const std::string& imageName, pf::Rect imageFrame, const std::string& action);
    // Right bar button. `imageFrame` is not used: the image always sits at (30, 13, 19, 19) from
    // system 7.0 on and at (20, 13, 19, 19) before, on every device.
    static void assignCustomRightBarButtonItem(const std::shared_ptr<pf::ViewController>& controller,
        const std::string& imageName, pf::Rect imageFrame, const std::string& action);
    // The image frame the screens pass for "back.png": (6, 13, 8, 16) from system 7.0 on,
    // (16, 13, 8, 16) before.
    static pf::Rect backImageFrame();

    // The controller's navigation bar gets the named image stretched to 320 x 44 as its
    // background, when it takes background images.
    static void setNavgationBarBackgroundImage(const std::string& imageName, const std::shared_ptr<pf::ViewController>& controller);

    // Gives the cell a striped background at alpha 0.3: "detail_row_even.png" for odd rows and
    // "detail_row_odd.png" for even ones, and with `isBottomLineNeeded` a 1-point line
    // ("menu_list_row_bottom_line.png") along its bottom. `isBigCell` changes nothing.
    static void assignCellBackground(const std::shared_ptr<pf::TableViewCell>& cell, long long row,
        bool isBottomLineNeeded, bool isBigCell);

    // An image of the main bundle by its full file name ("back.png"); null when missing.
    static std::shared_ptr<pf::Image> bundleImage(const std::string& name);
};
