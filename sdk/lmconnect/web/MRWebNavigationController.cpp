#include "sdk/lmconnect/web/MRWebNavigationController.h"

#include "sdk/lmconnect/openapi/MrApiTool.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/graphics/Image.h"
#include "platform/ui/NavigationBar.h"

MRWebNavigationController::MRWebNavigationController(const std::shared_ptr<pf::ViewController>& root)
    : pf::NavigationController(root)
{
}

std::optional<std::string> MRWebNavigationController::barImagePath()
{
    auto bundle = pf::Bundle::main();
    if (!bundle)
        return std::nullopt;
    std::optional<std::string> path;
    auto resource = MrApiTool::getAppDefinePath();
    const pf::Value* entry = resource ? resource->find("NavigationBar") : nullptr;
    if (!entry) {
        path = bundle->resourcePath() + "/" + kDefaultBarImage;
    } else if (const std::string* name = entry->asString()) {
        if (name->find(".bundle") != std::string::npos)
            path = bundle->resourcePath() + "/" + *name;
        else
            path = bundle->pathForResource(*name);
    }
    if (!path || !pf::FileManager::exists(*path))
        return std::nullopt;
    return path;
}

void MRWebNavigationController::viewDidLoad()
{
    pf::NavigationController::viewDidLoad();
    if (auto path = barImagePath()) {
        if (auto image = pf::Image::fromFile(*path))
            navigationBar()->setBackgroundImage(image);
    }
}
