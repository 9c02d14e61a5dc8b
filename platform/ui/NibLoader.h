#pragma once

#include "platform/ui/Control.h"
#include "platform/ui/Nib.h"

#include <memory>
#include <string>

namespace pf {

// What a layout builder works with: the owner, the list of top-level objects, outlets and
// actions.
class NibLoader {
public:
    NibLoader(std::string name, std::shared_ptr<Responder> owner) : m_name(std::move(name)), m_owner(std::move(owner)) { }

    const std::string& nibName() const { return m_name; }
    std::shared_ptr<Responder> owner() const { return m_owner; }
    template <class T>
    std::shared_ptr<T> ownerAs() const { return std::dynamic_pointer_cast<T>(m_owner); }

    // A top-level object, in order.
    void addTopLevel(const std::shared_ptr<View>& view);
    // The owner controller's root view.
    void setOwnerView(const std::shared_ptr<View>& view);

    // Names `view` as outlet `name`: the view carries the name (the driver finds it by it), the
    // contents list it, and `holder` (the owner when null) is told through
    // Responder::setOutlet. Returns the view, for chaining.
    template <class T>
    std::shared_ptr<T> outlet(const std::string& name, const std::shared_ptr<T>& view, const std::shared_ptr<Responder>& holder = nullptr)
    {
        connectOutlet(name, view, holder);
        return view;
    }

    // Wires `action` of `control` for `events`: to the owner (held weakly) when the layout has
    // one, else up the responder chain.
    void action(const std::shared_ptr<Control>& control, const std::string& action, unsigned events = ControlEvent::TouchUpInside);
    // Wires an action with no target: it goes up the responder chain from the control.
    void chainAction(const std::shared_ptr<Control>& control, const std::string& action, unsigned events = ControlEvent::TouchUpInside);

    NibContents& contents() { return m_contents; }

private:
    void connectOutlet(const std::string& name, const std::shared_ptr<View>& view, const std::shared_ptr<Responder>& holder);

    std::string m_name;
    std::shared_ptr<Responder> m_owner;
    NibContents m_contents;
};

}
