#pragma once

#include "platform/ui/NavigationController.h"

#include <memory>
#include <optional>
#include <string>

// The bar of a web window: its background is the app's "NavigationBar" image named in the
// information list's "morrowSDKResource" (a path under the main bundle when the name holds
// ".bundle", else one of its resources), or the resource bundle's own bar image.
class MRWebNavigationController : public pf::NavigationController {
public:
    static constexpr const char* kDefaultBarImage = "MorrowOpenApi_IOS_Bundle.bundle/morrowSDKNavigationBar.png";

    explicit MRWebNavigationController(const std::shared_ptr<pf::ViewController>& root);

    void viewDidLoad() override;

    // The bar image's file, none when the app names something that is not a text or no such file exists.
    static std::optional<std::string> barImagePath();
};
