#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace pf {

class View;
struct Touch;

// Anything that can take part in the responder chain: views, view controllers, windows and the
// application object at the end.
//
// Rules:
// - The chain runs view -> superview -> ... ; a controller's root view hands over to its
//   controller, a controller to its view's superview (or to its presenting controller), the
//   window to the application responder.
// - Actions are named ("didTouchButton:"). A responder handles a name when it registered a
//   handler for it with `onAction`, or when a subclass overrides `respondsToAction` and
//   `performAction`. An action sent without a target walks the chain and stops at the first
//   responder that handles it.
// - At most one responder in the process is the first responder (the one that receives typing);
//   it is held weakly.
// - Touches not handled by a responder go to its next responder.
class Responder : public std::enable_shared_from_this<Responder> {
public:
    using ActionHandler = std::function<void(const std::shared_ptr<View>& sender)>;

    Responder() = default;
    virtual ~Responder();
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    virtual std::shared_ptr<Responder> nextResponder() const { return nullptr; }

    // --- named actions ---
    // Registers (or, with an empty handler, removes) the handler of a named action. The handler
    // is owned by this responder: capture `this` or a weak pointer, never a strong one to self.
    void onAction(const std::string& action, ActionHandler handler);
    virtual bool respondsToAction(const std::string& action) const;
    // Runs the action; returns whether it was handled here.
    virtual bool performAction(const std::string& action, const std::shared_ptr<View>& sender);
    // Walks from this responder up the chain; returns the responder that handled it, or null.
    std::shared_ptr<Responder> sendActionUpChain(const std::string& action, const std::shared_ptr<View>& sender);
    // Sends an action with no target the way a control does: from the first responder when
    // there is one, else from `from`. Returns the responder that handled it, or null.
    static std::shared_ptr<Responder> sendAction(const std::string& action, const std::shared_ptr<View>& sender,
        const std::shared_ptr<Responder>& from);

    // A layout names one of its views as this object's outlet (see NibLoader); subclasses
    // that keep outlets store the view here.
    virtual void setOutlet(const std::string& name, const std::shared_ptr<View>& view) { }

    // --- first responder ---
    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool becomeFirstResponder();
    virtual bool canResignFirstResponder() const { return true; }
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;
    static std::shared_ptr<Responder> currentFirstResponder();

    // --- touches (one finger); the default passes them on to the next responder ---
    virtual void touchesBegan(const Touch& touch);
    virtual void touchesMoved(const Touch& touch);
    virtual void touchesEnded(const Touch& touch);
    virtual void touchesCancelled(const Touch& touch);

    // The end of every chain (the application object, or whatever the app installs there).
    static void setApplicationResponder(std::shared_ptr<Responder> responder);
    static std::shared_ptr<Responder> applicationResponder();

    // Test set-up: forgets the first responder and the application responder.
    static void resetGlobals();

protected:
    // For subclasses that take or give up first-responder status without the checks above.
    static void setCurrentFirstResponder(const std::shared_ptr<Responder>& responder);

private:
    std::map<std::string, ActionHandler> m_actions;
};

}
