#pragma once

#include "platform/ui/ViewController.h"

#include <string>

// The common base of the application's screens. On systems from 7.0 on, a screen's view starts
// below the navigation bar and the status bar instead of running under them; below 7.0 the
// platform already lays views out that way. Subclasses call up to every method they override.
class AdaptedViewController : public pf::ViewController {
public:
    AdaptedViewController() = default;
    explicit AdaptedViewController(std::string nibName) : pf::ViewController(std::move(nibName)) { }

    void viewDidLoad() override;
    void didReceiveMemoryWarning() override;
};
