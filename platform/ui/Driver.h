#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/ui/IndexPath.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pf {

class AlertView;
class ScrollView;
class TableView;
class TextField;
class View;
class WebContent;

// What became of a tap or a drag the driver tried.
struct TouchResult {
    enum class Outcome {
        Delivered,  // the finger reached the view (or passed through it to what lies below)
        NotFound,   // no such view, row or button
        NotVisible, // hidden, transparent or fading out, not in a shown window, or off the screen
        Covered,    // another view takes touches at that point
        Refused,    // the view, or one it lies in, has user interaction off, so hit-testing passes it by
        Unchanged,  // a field stayed as it was: it did not begin editing, refused a key or kept its text
        Ignored,    // touches are being ignored (a transition, or by request)
        Ambiguous,  // several views fit and none of them is the one a person would take
    };
    Outcome outcome { Outcome::NotFound };
    std::shared_ptr<View> hitView; // what the finger touched (when it got that far)
    std::string reason;            // for failure messages
    std::shared_ptr<View> target;  // the view the driver aimed at, when it chose one by text or tag
    size_t candidates { 0 };       // how many visible views showed that text or carried that tag

    explicit operator bool() const { return outcome == Outcome::Delivered; }
};

// Reads and operates the screen the way a person would, for tests and the simulator.
//
// Rules:
// - Only what is visible counts: views in shown windows, not hidden, not (nearly) transparent,
//   at least partly inside their window and their clipping ancestors. (A window moved beside
//   the screen is still dumped; its frame says where it lies.)
// - Taps, typing and drags go through hit-testing at the centre of the part of the view that
//   is visible and on the screen, so a covered view, or one whose window lies off the screen,
//   cannot be reached; the result says what was hit or why nothing was, naming what is in
//   front (what covers the view, or the window the screen shows). A cover that carries a name
//   or lies in a view that does is named by that alone ("covered by the share sheet"), unless
//   that view holds the covered one too. A view that lies in
//   one with user interaction off (as a view that is appearing may switch it off for a moment)
//   is passed by whatever lies behind it: the result says so, not that what is behind covers it.
//   A view that is fading out (or lies in one) is still seen but passed by touches: the result
//   says that it is fading out.
// - When several views show a text, the one a person would tap is chosen: an enabled control
//   before anything else (a title or label that reads the same), the frontmost first; one that
//   cannot be reached gives way to the next. The result names the view and how many there were.
// - When several views carry a tag, the one that takes the touch itself (the finger lands on
//   it or in it) is tapped, an enabled control before a disabled one; two or more alike are
//   ambiguous and the result lists them. A view the finger only passes through to what holds it
//   is never tapped by its tag: the result says that it takes no touches.
// - Drags move the finger in steps of 1/60 s (the platform clock advances with them when it is
//   a manual clock), so scroll views and pan recognisers see what a finger produces.
// - The dump lists every visible view, one line each, indented by depth, with its class,
//   frame and what a person would read. It is stable: the same screen gives the same text.
//   A view wholly behind an opaque sibling is left out, unless that sibling is fading out: what
//   it reveals is what a finger reaches already.
//   A view that shows a web page is followed by the page's lines (text, links, fields,
//   buttons), one level deeper.
class Driver {
public:
    Driver() = default;

    // --- reading ---
    std::string dump() const;
    static std::string dump(const View& view);
    std::vector<std::string> visibleTexts() const;

    std::vector<std::shared_ptr<View>> findAll(const std::function<bool(const View&)>& match) const;
    std::shared_ptr<View> find(const std::function<bool(const View&)>& match) const;
    // A visible view showing exactly this text (label text, button title, field text or
    // placeholder, alert title or message, anything a view reports as a text); an enabled
    // control showing it comes before any other view.
    std::shared_ptr<View> findByText(const std::string& text) const;
    std::vector<std::shared_ptr<View>> findAllByText(const std::string& text) const;
    std::shared_ptr<View> findContainingText(const std::string& fragment) const;
    std::shared_ptr<View> findByTag(int tag) const;
    // By the class name of the dump ("Button", "GiftListTableViewCell").
    std::shared_ptr<View> findByClass(const std::string& className) const;
    std::shared_ptr<View> findByOutlet(const std::string& name) const;
    template <class T>
    std::shared_ptr<T> findOfType(const std::function<bool(const T&)>& match = {}) const
    {
        auto found = find([&](const View& v) {
            auto typed = dynamic_cast<const T*>(&v);
            return typed && (!match || match(*typed));
        });
        return std::dynamic_pointer_cast<T>(found);
    }
    bool isVisible(const View& view) const;
    // One line naming a view for messages: the name a person would use when the view carries
    // one (`View::displayName`: "the update box"), else its class, frame and first text, and the
    // name of the nearest view holding it that carries one ("... in the update box").
    static std::string describe(const View& view);
    std::shared_ptr<AlertView> visibleAlert() const;

    // --- acting ---
    // What a tap on the view would meet, touching nothing: Delivered when a finger reaches it.
    TouchResult reach(const std::shared_ptr<View>& view) const;
    TouchResult tap(const std::shared_ptr<View>& view);
    TouchResult tapText(const std::string& text);
    TouchResult tapTag(int tag);
    TouchResult tapAt(Point screenPoint);
    TouchResult tapRow(const std::shared_ptr<TableView>& table, const IndexPath& indexPath);
    // Taps the picture-only control that shows the image named `name` ("back.png"): a button
    // with that image, or the control that lies over (or holds) an image view with it, as the
    // bar buttons' transparent button lies over their picture. Frontmost first.
    TouchResult tapImage(const std::string& name);
    TouchResult tapAlertButton(const std::string& title);

    // Taps the field when it is not being edited, then types `text` one character at a time
    // (each asks the delegate and sends EditingChanged). Fails when the field cannot be reached
    // (as a tap can fail; a field being edited too), does not begin editing or refuses a character.
    TouchResult typeText(const std::shared_ptr<TextField>& field, const std::string& text);
    bool deleteBackward(const std::shared_ptr<TextField>& field, int count = 1);
    // Taps the field when it is not being edited, then deletes backward until it is empty, as
    // a person holding the delete key does (each deletion asks the delegate and sends
    // EditingChanged). Fails as typing does, and stops when a press does not shorten the text.
    TouchResult clearText(const std::shared_ptr<TextField>& field);
    bool pressReturn(const std::shared_ptr<TextField>& field);

    // Web pages (views that show a document): follow a link by its text, type into a field by
    // its name, id or placeholder, press a button by its text, value, name or id (a submit
    // button sends its form). The page must be visible and not covered.
    TouchResult tapLink(const std::string& text);
    // (A page's field is set to `value`, its input and change events sent; "" empties it.)
    TouchResult fillPageField(const std::string& field, const std::string& value);
    TouchResult pressPageButton(const std::string& control);

    struct DragOptions {
        double duration { 0.25 };
        // Released while moving (the content decelerates) or after holding still.
        bool fling { false };
        double hold { 0.1 };
    };
    TouchResult drag(Point fromScreenPoint, Point translation, DragOptions options);
    TouchResult drag(Point fromScreenPoint, Point translation) { return drag(fromScreenPoint, translation, DragOptions {}); }
    // A drag that starts at the centre of the visible part of `view`.
    TouchResult dragView(const std::shared_ptr<View>& view, Point translation, DragOptions options);
    TouchResult dragView(const std::shared_ptr<View>& view, Point translation) { return dragView(view, translation, DragOptions {}); }
    // A finger drag on a scroll view (finger direction: positive y pulls the content down),
    // flung when `decelerate`. Fails unless the scroll view is under the finger.
    TouchResult dragScrollView(const std::shared_ptr<ScrollView>& scrollView, Point translation, bool decelerate);
    // Pulls a table down by `distance` points of finger travel and lets go without flinging.
    TouchResult pullDownAndRelease(const std::shared_ptr<ScrollView>& table, double distance);

    // --- time ---
    // Runs posted tasks and the layout of every shown window (no time passes).
    void settle() const;
    // Moves the platform clock forward (a manual clock) running what falls due; with a real
    // clock, only runs what is ready.
    void advance(double seconds) const;

private:
    TouchResult check(const std::shared_ptr<View>& view, Point& screenPoint) const;
    TouchResult touch(const std::shared_ptr<View>& view);
    TouchResult touchAt(Point screenPoint, TouchResult result);
    TouchResult focus(const std::shared_ptr<TextField>& field);
    TouchResult actOnPage(const std::string& what, const std::function<bool(WebContent&)>& act);
};

}
