#pragma once

#include <memory>

class DDMenuController;

namespace pf {
class ViewController;
}

// Told by a side-menu container before it shows one of its sides. Optional.
class DDMenuControllerDelegate {
public:
    virtual ~DDMenuControllerDelegate() = default;
    virtual void menuControllerWillShowViewController(DDMenuController& menuController,
        const std::shared_ptr<pf::ViewController>& controller) { }
};
