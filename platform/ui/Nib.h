#pragma once

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pf {

class NibLoader;
class Responder;
class View;

// A layout failure: an unknown layout name, or a layout without the object asked for. `name`
// is a short code ("NibNotFound", or the one a caller chose), `what()` the reason.
class NibError : public std::runtime_error {
public:
    NibError(std::string name, const std::string& reason) : std::runtime_error(reason), m_name(std::move(name)) { }
    const std::string& name() const { return m_name; }

private:
    std::string m_name;
};

// What loading a layout produced.
struct NibContents {
    // In the order the builder added them.
    std::vector<std::shared_ptr<View>> topLevelObjects;
    // Named outlets (held weakly: the views live in their hierarchy).
    std::map<std::string, std::weak_ptr<View>> outlets;
    // The owner's root view, for controller layouts (else empty).
    std::shared_ptr<View> ownerView;

    template <class T>
    std::shared_ptr<T> firstOfType() const
    {
        for (const auto& object : topLevelObjects)
            if (auto typed = std::dynamic_pointer_cast<T>(object))
                return typed;
        return nullptr;
    }
    template <class T = View>
    std::shared_ptr<T> outlet(const std::string& name) const
    {
        auto it = outlets.find(name);
        return it == outlets.end() ? nullptr : std::dynamic_pointer_cast<T>(it->second.lock());
    }
};

// Layouts by name: the stand-in for the platform's layout files. A builder, registered once
// under a name (usually the class it lays out), creates the objects every time the layout is
// loaded, names the outlets and wires the actions through the NibLoader it is given.
//
// Rules: loading an unregistered name throws NibError "NibNotFound"; registering a name again
// replaces the builder; loading runs on the main thread.
class Nib {
public:
    using Builder = std::function<void(NibLoader& loader)>;

    static void registerNib(const std::string& name, Builder builder);
    static bool exists(const std::string& name);
    // Runs the builder with `owner` as the layout's owner (may be null).
    static NibContents instantiate(const std::string& name, const std::shared_ptr<Responder>& owner = nullptr);
    static void unregister(const std::string& name);
    static std::vector<std::string> registeredNames();
};

}
