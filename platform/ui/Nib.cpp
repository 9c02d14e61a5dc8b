#include "platform/ui/Nib.h"

#include "platform/ui/NibLoader.h"
#include "platform/ui/View.h"

namespace pf {

namespace {
    std::map<std::string, Nib::Builder>& builders()
    {
        static std::map<std::string, Nib::Builder> map;
        return map;
    }
}

void Nib::registerNib(const std::string& name, Builder builder)
{
    if (builder)
        builders()[name] = std::move(builder);
}

bool Nib::exists(const std::string& name)
{
    return builders().count(name) > 0;
}

NibContents Nib::instantiate(const std::string& name, const std::shared_ptr<Responder>& owner)
{
    auto it = builders().find(name);
    if (it == builders().end())
        throw NibError("NibNotFound", "No layout named '" + name + "' is registered");
    Builder builder = it->second; // the builder may register others while it runs
    NibLoader loader(name, owner);
    builder(loader);
    return std::move(loader.contents());
}

void Nib::unregister(const std::string& name)
{
    builders().erase(name);
}

std::vector<std::string> Nib::registeredNames()
{
    std::vector<std::string> names;
    for (const auto& [name, builder] : builders())
        names.push_back(name);
    return names;
}

void NibLoader::addTopLevel(const std::shared_ptr<View>& view)
{
    if (view)
        m_contents.topLevelObjects.push_back(view);
}

void NibLoader::setOwnerView(const std::shared_ptr<View>& view)
{
    m_contents.ownerView = view;
}

void NibLoader::connectOutlet(const std::string& name, const std::shared_ptr<View>& view, const std::shared_ptr<Responder>& holder)
{
    if (!view)
        return;
    view->setOutletName(name);
    m_contents.outlets[name] = view;
    auto target = holder ? holder : m_owner;
    if (target)
        target->setOutlet(name, view);
}

void NibLoader::action(const std::shared_ptr<Control>& control, const std::string& action, unsigned events)
{
    if (!control)
        return;
    control->addTarget(m_owner, action, events);
}

void NibLoader::chainAction(const std::shared_ptr<Control>& control, const std::string& action, unsigned events)
{
    if (!control)
        return;
    control->addTarget(nullptr, action, events);
}

}
