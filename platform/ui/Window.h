#pragma once

#include "platform/ui/View.h"

#include <memory>
#include <vector>

namespace pf {

class ViewController;

struct WindowLevel {
    static constexpr double Normal = 0;
    static constexpr double StatusBar = 1000;
    static constexpr double Alert = 2000;
};

// A top-level view that is shown on the screen. Windows start hidden; showing one
// (`makeKeyAndVisible` or `setHidden(false)`) puts it in the list of shown windows, which holds
// it. Shown windows are stacked by level, then by the order in which they were shown.
//
// Rules:
// - One window is the key window (it receives typing); hiding it passes the role to the
//   frontmost remaining shown window of the normal level, or to none.
// - The root view controller's view fills the window; the controller gets its appearance
//   callbacks when the window is shown or hidden, or when it becomes root of a shown window.
// - The window's next responder is the application responder.
class Window : public View {
public:
    Window();
    explicit Window(const Rect& frame);
    ~Window() override;

    double windowLevel() const { return m_level; }
    void setWindowLevel(double level);

    void makeKeyAndVisible();
    void makeKeyWindow();
    bool isKeyWindow() const;
    void setHidden(bool hidden) override;
    bool isShown() const { return m_shown; }

    std::shared_ptr<ViewController> rootViewController() const { return m_root; }
    void setRootViewController(const std::shared_ptr<ViewController>& controller);

    std::shared_ptr<Responder> nextResponder() const override;
    void dumpAttributes(DumpAttributes& attributes) const override;

    // Schedules one layout pass of this window on the run loop (for View::setNeedsLayout).
    void scheduleLayoutPass();

    static std::shared_ptr<Window> keyWindow();
    // Shown windows, back to front.
    static std::vector<std::shared_ptr<Window>> windows();
    // The deepest view taking a touch at a screen point, front window first; `hitWindow`
    // receives the window it was found in.
    static std::shared_ptr<View> hitTestScreen(Point screenPoint, std::shared_ptr<Window>* hitWindow = nullptr);
    // Test set-up: hides and forgets every window.
    static void resetAll();

private:
    void show();
    void unshow();

    double m_level { WindowLevel::Normal };
    bool m_shown { false };
    bool m_layoutPosted { false };
    std::shared_ptr<ViewController> m_root;
};

}
