#include "platform/ui/Driver.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Control.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Interaction.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TouchSequence.h"
#include "platform/ui/View.h"
#include "platform/ui/WebContent.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cmath>

namespace pf {

namespace {

    std::string formatRect(const Rect& r)
    {
        return "(" + DumpAttributes::number(r.x()) + "," + DumpAttributes::number(r.y()) + "," + DumpAttributes::number(r.width()) + ","
            + DumpAttributes::number(r.height()) + ")";
    }

    std::string line(const View& view, int depth)
    {
        DumpAttributes attributes;
        view.dumpAttributes(attributes);
        std::string out(static_cast<size_t>(depth) * 2, ' ');
        out += view.dumpClassName();
        out += " frame=" + formatRect(view.frame());
        std::string rest = attributes.format();
        if (!rest.empty())
            out += " " + rest;
        return out;
    }

    // A view that paints its whole frame with an opaque colour hides what lies behind it, unless
    // it is on its way to transparent: a view that has begun to fade out still shows at full
    // opacity, but what it reveals is what the finger already reaches.
    bool isOpaqueCover(const View& view)
    {
        auto background = view.backgroundColor();
        return !view.isHidden() && view.dumpRole() != View::DumpRole::Hidden && background && background->alpha >= 1
            && view.layer().presentationOpacity() >= 1 && view.alpha() >= 1;
    }

    // Whether a later sibling (one in front) covers the whole of subview `index`, as the page
    // of a tab screen covers the pages behind it.
    bool isCoveredBySibling(const std::vector<std::shared_ptr<View>>& siblings, size_t index)
    {
        const Rect& frame = siblings[index]->frame();
        for (size_t j = index + 1; j < siblings.size(); ++j) {
            const View& front = *siblings[j];
            const Rect& cover = front.frame();
            if (isOpaqueCover(front) && cover.minX() <= frame.minX() && cover.minY() <= frame.minY()
                && cover.maxX() >= frame.maxX() && cover.maxY() >= frame.maxY())
                return true;
        }
        return false;
    }

    // Walks what a person can see. `visit` is called for every visible view with its depth (the
    // depth of its line); returns whether the view or something in it is visible.
    struct Walker {
        std::function<void(const View&, int depth, bool ownLine)> enter;
        std::function<void(const View&, bool visible)> leave;

        bool walk(const View& view, const Rect& clip, int depth)
        {
            // Mid-fade a view is still seen, so visibility follows the animated opacity.
            if (view.isHidden() || view.layer().presentationOpacity() < 0.01 || view.dumpRole() == View::DumpRole::Hidden)
                return false;
            Rect visible = view.frameInWindow().intersection(clip);
            bool ownLine = view.dumpRole() == View::DumpRole::Normal;
            bool clips = view.clipsToBounds() || dynamic_cast<const Window*>(&view);
            Rect childClip = clips ? visible : clip;
            if (enter)
                enter(view, depth, ownLine);
            bool any = false;
            if (!(clips && visible.isEmpty())) {
                const auto& subs = view.subviews();
                for (size_t i = 0; i < subs.size(); ++i) {
                    if (isCoveredBySibling(subs, i))
                        continue;
                    any = walk(*subs[i], childClip, ownLine ? depth + 1 : depth) || any;
                }
            }
            bool shown = any || (ownLine && !visible.isEmpty());
            if (leave)
                leave(view, shown);
            return shown;
        }

        void walkScreen()
        {
            for (const auto& w : Window::windows()) {
                Rect clip = w->bounds(); // a window's own coordinates
                walk(*w, clip, 0);
            }
        }
    };

    TouchResult failure(TouchResult::Outcome outcome, std::string reason, std::shared_ptr<View> hit = nullptr)
    {
        TouchResult r;
        r.outcome = outcome;
        r.reason = std::move(reason);
        r.hitView = std::move(hit);
        return r;
    }

    // One line a visible view, indented by depth; a view that turns out to show nothing takes
    // the lines of its subtree back out. `walk` runs the walker over what is to be dumped.
    std::string dumpLines(const std::function<void(Walker&)>& walk)
    {
        std::vector<std::string> lines;
        std::vector<size_t> marks;
        Walker walker;
        walker.enter = [&](const View& v, int depth, bool ownLine) {
            marks.push_back(lines.size());
            if (ownLine)
                lines.push_back(line(v, depth));
            // A page's content reads as lines of its own under its view.
            if (auto* page = dynamic_cast<const WebContent*>(&v))
                for (const auto& content : page->contentLines())
                    lines.push_back(std::string(static_cast<size_t>(depth + 1) * 2, ' ') + content);
        };
        walker.leave = [&](const View&, bool shown) {
            size_t mark = marks.back();
            marks.pop_back();
            if (!shown)
                lines.resize(mark);
        };
        walk(walker);
        std::string out;
        for (const auto& l : lines)
            out += l + "\n";
        return out;
    }

}

// --- reading ---

namespace {
    // The nearest view holding `view` that carries a name a person would use.
    std::shared_ptr<View> namedHolder(const View& view)
    {
        for (auto v = view.superview(); v; v = v->superview()) {
            if (!v->displayName().empty())
                return v;
        }
        return nullptr;
    }

    // What a person sees covering `target` where the finger lands on `hit`: the named view that
    // is or holds `hit` (the share sheet, not its backdrop), unless that holds `target` too, as a
    // label over a button of the same box does: then only `hit` itself tells what is in the way.
    std::string describeCover(const View& hit, const View& target)
    {
        auto named = hit.displayName().empty() ? namedHolder(hit) : std::const_pointer_cast<View>(hit.sharedView());
        if (named && !target.isDescendantOf(named.get()))
            return named->displayName();
        return Driver::describe(hit);
    }
}

std::string Driver::describe(const View& view)
{
    if (!view.displayName().empty())
        return view.displayName();
    DumpAttributes attributes;
    view.dumpAttributes(attributes);
    std::string out = view.dumpClassName() + " " + formatRect(view.frame());
    auto texts = attributes.texts();
    if (!texts.empty())
        out += " \"" + texts.front() + "\"";
    if (auto holder = namedHolder(view))
        out += " in " + holder->displayName();
    return out;
}

std::string Driver::dump() const
{
    settle();
    return dumpLines([](Walker& walker) { walker.walkScreen(); });
}

std::string Driver::dump(const View& view)
{
    // Outside a window the view is shown as if the screen were unbounded.
    Rect clip = view.window() ? view.window()->bounds() : Rect { -1e9, -1e9, 2e9, 2e9 };
    return dumpLines([&](Walker& walker) { walker.walk(view, clip, 0); });
}

std::vector<std::shared_ptr<View>> Driver::findAll(const std::function<bool(const View&)>& match) const
{
    settle();
    std::vector<std::shared_ptr<View>> found;
    // A view counts when it is visible itself (not only through its subviews).
    std::vector<std::pair<const View*, size_t>> stack;
    Walker walker;
    walker.enter = [&](const View& v, int, bool) { stack.push_back({ &v, found.size() }); };
    walker.leave = [&](const View& v, bool) {
        auto [view, mark] = stack.back();
        stack.pop_back();
        bool selfVisible = !v.visibleRectInWindow().isEmpty();
        if (selfVisible && match(v))
            found.insert(found.begin() + static_cast<std::ptrdiff_t>(mark), std::const_pointer_cast<View>(v.sharedView()));
    };
    walker.walkScreen();
    return found;
}

std::shared_ptr<View> Driver::find(const std::function<bool(const View&)>& match) const
{
    auto all = findAll(match);
    return all.empty() ? nullptr : all.front();
}

namespace {
    std::vector<std::string> textsOf(const View& v)
    {
        DumpAttributes attributes;
        v.dumpAttributes(attributes);
        return attributes.texts();
    }
}

std::vector<std::string> Driver::visibleTexts() const
{
    std::vector<std::string> texts;
    for (const auto& v : findAll([](const View&) { return true; }))
        for (auto& t : textsOf(*v))
            texts.push_back(t);
    return texts;
}

namespace {
    // A control that would act on a tap.
    bool isEnabledControl(const View& v)
    {
        auto control = dynamic_cast<const Control*>(&v);
        return control && control->isEnabled() && control->isUserInteractionEnabled();
    }
}

std::shared_ptr<View> Driver::findByText(const std::string& text) const
{
    auto all = findAllByText(text);
    for (const auto& v : all) {
        if (isEnabledControl(*v))
            return v;
    }
    return all.empty() ? nullptr : all.front();
}

std::vector<std::shared_ptr<View>> Driver::findAllByText(const std::string& text) const
{
    return findAll([&](const View& v) {
        for (const auto& t : textsOf(v))
            if (t == text)
                return true;
        return false;
    });
}

std::shared_ptr<View> Driver::findContainingText(const std::string& fragment) const
{
    return find([&](const View& v) {
        for (const auto& t : textsOf(v))
            if (t.find(fragment) != std::string::npos)
                return true;
        return false;
    });
}

std::shared_ptr<View> Driver::findByTag(int tag) const
{
    return find([&](const View& v) { return v.tag() == tag; });
}

std::shared_ptr<View> Driver::findByClass(const std::string& className) const
{
    return find([&](const View& v) { return v.dumpClassName() == className; });
}

std::shared_ptr<View> Driver::findByOutlet(const std::string& name) const
{
    return find([&](const View& v) { return v.outletName() == name; });
}

bool Driver::isVisible(const View& view) const
{
    return find([&](const View& v) { return &v == &view; }) != nullptr;
}

std::shared_ptr<AlertView> Driver::visibleAlert() const
{
    return AlertView::visibleAlert();
}

// --- acting ---

namespace {
    // The outermost of the view and the views holding it that has user interaction off.
    std::shared_ptr<View> outermostRefusing(const View& view)
    {
        std::shared_ptr<View> refusing;
        for (auto v = std::const_pointer_cast<View>(view.sharedView()); v; v = v->superview()) {
            if (!v->isUserInteractionEnabled())
                refusing = v;
        }
        return refusing;
    }

    // The view and the views holding it, from its window down.
    std::vector<const View*> lineage(const View& view)
    {
        std::vector<const View*> chain;
        for (auto v = view.sharedView(); v; v = v->superview())
            chain.push_back(v.get());
        std::reverse(chain.begin(), chain.end());
        return chain;
    }

    // The frontmost shown window other than `beside` that lies on the screen.
    std::shared_ptr<Window> frontWindowOnScreen(const Window& beside)
    {
        auto windows = Window::windows(); // back to front
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
            if (it->get() != &beside && (*it)->frame().intersects(Screen::main().bounds()))
                return *it;
        }
        return nullptr;
    }

    // Whether `a` is drawn over `b`: a later window, or a later subview where their lineages
    // part. A view holding the other lies behind it.
    bool liesInFront(const View& a, const View& b)
    {
        auto la = lineage(a);
        auto lb = lineage(b);
        if (la.front() != lb.front()) {
            auto windows = Window::windows(); // back to front
            auto at = [&](const View* root) {
                return std::find_if(windows.begin(), windows.end(), [&](const auto& w) { return w.get() == root; }) - windows.begin();
            };
            return at(la.front()) > at(lb.front());
        }
        size_t i = 1;
        while (i < la.size() && i < lb.size() && la[i] == lb[i])
            ++i;
        if (i == la.size() || i == lb.size())
            return i == lb.size() && la.size() > lb.size(); // `a` lies inside `b`
        const auto& siblings = la[i - 1]->subviews();
        auto index = [&](const View* v) {
            return std::find_if(siblings.begin(), siblings.end(), [&](const auto& s) { return s.get() == v; }) - siblings.begin();
        };
        return index(la[i]) > index(lb[i]);
    }
}

TouchResult Driver::check(const std::shared_ptr<View>& view, Point& screenPoint) const
{
    settle();
    if (!view)
        return failure(TouchResult::Outcome::NotFound, "no view");
    if (Interaction::isIgnoringEvents())
        return failure(TouchResult::Outcome::Ignored, "touches are being ignored");
    auto window = view->window();
    if (!window || !window->isShown())
        return failure(TouchResult::Outcome::NotVisible, describe(*view) + " is not in a shown window");
    if (!view->isVisibleOnScreen()) {
        // A view fading out is still seen, though touches already pass it by: say so, rather
        // than call it hidden.
        std::shared_ptr<View> fading;
        for (auto v = view; v; v = v->superview()) {
            if (v->isHidden() || (v->alpha() < 0.01 && !v->layer().isFadingOut())) {
                fading.reset();
                break;
            }
            if (v->alpha() < 0.01)
                fading = v;
        }
        if (!fading)
            return failure(TouchResult::Outcome::NotVisible, describe(*view) + " is hidden or transparent");
        bool named = fading == view || fading == namedHolder(*view); // the description says which already
        return failure(TouchResult::Outcome::NotVisible, describe(*view) + " is fading out" + (named ? "" : " with " + describe(*fading)));
    }
    Rect visible = view->visibleRectInWindow();
    if (visible.isEmpty())
        return failure(TouchResult::Outcome::NotVisible, describe(*view) + " is outside the screen");
    // A window may lie beside the screen (moved out while another is shown): a finger reaches
    // only the part on the screen, and none of a window that lies wholly off it.
    Rect onScreen = visible.offsetBy(window->frame().x(), window->frame().y()).intersection(Screen::main().bounds());
    if (onScreen.isEmpty()) {
        auto front = frontWindowOnScreen(*window);
        return failure(TouchResult::Outcome::NotVisible,
            describe(*view) + " lies off the screen, in a window at " + formatRect(window->frame())
                + (front ? "; the screen shows " + describe(*front) + " in front" : ""));
    }
    screenPoint = onScreen.center();
    auto hit = Window::hitTestScreen(screenPoint);
    if (!hit || (!hit->isDescendantOf(view.get()) && !view->isDescendantOf(hit.get()))) {
        // Hit-testing skips a view with user interaction off and all it holds, so the finger
        // lands on whatever lies behind: that is no cover, and the person should know to wait.
        auto refusing = outermostRefusing(*view);
        if (refusing && (!hit || !liesInFront(*hit, *refusing))) {
            std::string where = refusing.get() == view.get() ? "its user interaction is off"
                                                             : describe(*refusing) + ", which holds it, has user interaction off";
            return failure(TouchResult::Outcome::Refused,
                describe(*view) + " takes no touches now: " + where + " (a view may turn it off while it appears; wait and try again)",
                hit);
        }
        if (!hit)
            return failure(TouchResult::Outcome::Covered, "nothing takes touches at the centre of " + describe(*view));
        return failure(TouchResult::Outcome::Covered, describe(*view) + " is covered by " + describeCover(*hit, *view), hit);
    }
    TouchResult ok;
    ok.outcome = TouchResult::Outcome::Delivered;
    ok.hitView = hit;
    return ok;
}

TouchResult Driver::touch(const std::shared_ptr<View>& view)
{
    Point p;
    TouchResult result = check(view, p);
    if (!result)
        return result;
    return touchAt(p, result);
}

TouchResult Driver::touchAt(Point p, TouchResult result)
{
    double now = RunLoop::main().monotonicNow();
    auto seq = TouchSequence::begin(p, now);
    if (!seq)
        return failure(TouchResult::Outcome::Ignored, "the touch was not taken");
    result.hitView = seq->hitView();
    seq->end(now);
    settle();
    return result;
}

TouchResult Driver::tap(const std::shared_ptr<View>& view)
{
    return touch(view);
}

TouchResult Driver::tapImage(const std::string& name)
{
    auto named = [&](const std::shared_ptr<Image>& image) { return image && image->name() == name; };
    auto candidates = findAll([&](const View& v) {
        if (auto button = dynamic_cast<const Button*>(&v))
            return named(button->currentImage()) || named(button->currentBackgroundImage());
        if (auto picture = dynamic_cast<const ImageView*>(&v))
            return named(picture->image());
        return false;
    });
    if (candidates.empty())
        return failure(TouchResult::Outcome::NotFound, "no visible view shows the image \"" + name + "\"");
    TouchResult last;
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
        const auto& view = *it;
        if (dynamic_cast<Control*>(view.get())) {
            last = touch(view);
        } else {
            // A picture takes no touches itself: the control over it (or around it) does.
            // A control of another window in front is no part of the picture: that covers it.
            Point p;
            last = check(view, p);
            auto hit = last.hitView;
            bool control = hit && (dynamic_cast<Control*>(hit.get()) || hit->isDescendantOf(view.get()));
            bool ownWindow = hit && hit->window() == view->window();
            if (last.outcome == TouchResult::Outcome::Delivered || (last.outcome == TouchResult::Outcome::Covered && ownWindow)) {
                if (control) {
                    last.outcome = TouchResult::Outcome::Delivered;
                    last = touchAt(p, last);
                } else {
                    last = failure(TouchResult::Outcome::Covered, "no control takes touches over the image \"" + name + "\"", hit);
                }
            }
        }
        if (last || last.outcome == TouchResult::Outcome::Ignored)
            return last;
    }
    return last;
}

TouchResult Driver::tapText(const std::string& text)
{
    // Front to back, then the enabled controls ahead of the rest.
    auto candidates = findAllByText(text);
    if (candidates.empty())
        return failure(TouchResult::Outcome::NotFound, "no visible view shows \"" + text + "\"");
    std::reverse(candidates.begin(), candidates.end());
    std::stable_partition(candidates.begin(), candidates.end(), [](const std::shared_ptr<View>& v) { return isEnabledControl(*v); });
    TouchResult last;
    for (const auto& view : candidates) {
        last = touch(view);
        last.target = view;
        last.candidates = candidates.size();
        if (last || last.outcome == TouchResult::Outcome::Ignored)
            break;
    }
    return last;
}

TouchResult Driver::tapTag(int tag)
{
    auto candidates = findAll([tag](const View& v) { return v.tag() == tag; });
    if (candidates.empty())
        return failure(TouchResult::Outcome::NotFound, "no visible view is tagged " + std::to_string(tag));
    std::reverse(candidates.begin(), candidates.end()); // the frontmost first
    // A view the finger lands on (or in) takes the touch itself, an enabled control before a
    // disabled one. One it passes through only reaches what holds it, as a page dot reaches the
    // strip of dots: such a view is not tapped, since the tap would not be its.
    std::vector<std::shared_ptr<View>> taking;
    std::vector<std::shared_ptr<View>> disabled;
    TouchResult first;
    TouchResult passing; // the frontmost view the finger passes through, refused
    for (const auto& view : candidates) {
        Point p;
        TouchResult reach = check(view, p);
        if (!reach) {
            if (first.reason.empty())
                first = reach;
            continue;
        }
        auto control = dynamic_cast<const Control*>(view.get());
        if (!reach.hitView->isDescendantOf(view.get())) {
            if (!passing.target) {
                passing = failure(TouchResult::Outcome::Refused,
                    describe(*view) + " takes no touches: a finger on it lands on " + describe(*reach.hitView) + ", which holds it",
                    reach.hitView);
                passing.target = view;
            }
        } else if (control && !control->isEnabled()) {
            disabled.push_back(view);
        } else {
            taking.push_back(view);
        }
    }
    const auto& chosen = taking.empty() ? disabled : taking;
    if (chosen.empty()) {
        TouchResult none = passing.target ? passing : first;
        none.candidates = candidates.size();
        return none;
    }
    if (chosen.size() > 1) {
        std::string list;
        for (const auto& view : chosen)
            // Cells' views alike differ only in where they are on the screen.
            list += (list.empty() ? "" : "; ") + describe(*view) + " at " + formatRect(view->frameInWindow()) + " in the window";
        TouchResult ambiguous = failure(TouchResult::Outcome::Ambiguous,
            "tag " + std::to_string(tag) + " is ambiguous: " + std::to_string(chosen.size()) + " views carrying it "
                + (taking.empty() ? "are disabled" : "take touches") + ": " + list);
        ambiguous.candidates = candidates.size();
        return ambiguous;
    }
    TouchResult result = touch(chosen.front());
    result.target = chosen.front();
    result.candidates = candidates.size();
    return result;
}

TouchResult Driver::tapAt(Point screenPoint)
{
    settle();
    if (Interaction::isIgnoringEvents())
        return failure(TouchResult::Outcome::Ignored, "touches are being ignored");
    double now = RunLoop::main().monotonicNow();
    auto seq = TouchSequence::begin(screenPoint, now);
    if (!seq)
        return failure(TouchResult::Outcome::NotFound, "nothing takes touches there");
    TouchResult result;
    result.outcome = TouchResult::Outcome::Delivered;
    result.hitView = seq->hitView();
    seq->end(now);
    settle();
    return result;
}

TouchResult Driver::tapRow(const std::shared_ptr<TableView>& table, const IndexPath& indexPath)
{
    settle();
    if (!table)
        return failure(TouchResult::Outcome::NotFound, "no table");
    auto cell = table->cellForRowAtIndexPath(indexPath);
    if (!cell)
        return failure(TouchResult::Outcome::NotVisible, "row " + indexPath.description() + " is not on screen");
    return touch(cell);
}

TouchResult Driver::tapAlertButton(const std::string& title)
{
    auto alert = AlertView::visibleAlert();
    if (!alert)
        return failure(TouchResult::Outcome::NotFound, "no alert is showing");
    for (int i = 0; i < alert->numberOfButtons(); ++i)
        if (alert->buttonTitleAtIndex(i) == title)
            return touch(alert->buttonAtIndex(i));
    return failure(TouchResult::Outcome::NotFound, "the alert has no button \"" + title + "\"");
}

TouchResult Driver::reach(const std::shared_ptr<View>& view) const
{
    Point p;
    return check(view, p);
}

TouchResult Driver::focus(const std::shared_ptr<TextField>& field)
{
    // Keys go only to a field a finger could reach, even one already being edited.
    if (field && field->isEditing())
        return reach(field);
    TouchResult result = touch(field);
    if (result && !field->isEditing())
        return failure(TouchResult::Outcome::Unchanged, describe(*field) + " did not begin editing", result.hitView);
    return result;
}

TouchResult Driver::typeText(const std::shared_ptr<TextField>& field, const std::string& text)
{
    TouchResult result = focus(field);
    if (!result)
        return result;
    // One character (code point) at a time, as keys are pressed.
    for (size_t i = 0; i < text.size();) {
        size_t n = 1;
        unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0xF0)
            n = 4;
        else if (lead >= 0xE0)
            n = 3;
        else if (lead >= 0xC0)
            n = 2;
        n = std::min(n, text.size() - i);
        if (!field->insertText(text.substr(i, n))) {
            settle();
            return failure(TouchResult::Outcome::Unchanged, describe(*field) + " refused \"" + text.substr(i, n) + "\"");
        }
        i += n;
    }
    settle();
    return result;
}

bool Driver::deleteBackward(const std::shared_ptr<TextField>& field, int count)
{
    if (!field || !field->isEditing())
        return false;
    for (int i = 0; i < count; ++i)
        if (!field->deleteBackward())
            return false;
    settle();
    return true;
}

TouchResult Driver::clearText(const std::shared_ptr<TextField>& field)
{
    TouchResult result = focus(field);
    if (!result)
        return result;
    // Every press must shorten the text, or the key would stay down for ever on a field that
    // refuses the deletion or puts its text back.
    while (!field->text().empty()) {
        std::string before = field->text();
        field->deleteBackward();
        if (field->text().size() >= before.size()) {
            settle();
            return failure(TouchResult::Outcome::Unchanged,
                describe(*field) + (field->text() == before ? " keeps its text: a press of delete left it as it was"
                                                            : " keeps its text: a press of delete did not shorten it"));
        }
    }
    settle();
    return result;
}

bool Driver::pressReturn(const std::shared_ptr<TextField>& field)
{
    if (!field || !field->isEditing())
        return false;
    field->pressReturn();
    settle();
    return true;
}

TouchResult Driver::drag(Point from, Point translation, DragOptions options)
{
    settle();
    if (Interaction::isIgnoringEvents())
        return failure(TouchResult::Outcome::Ignored, "touches are being ignored");
    auto& loop = RunLoop::main();
    double t = loop.monotonicNow();
    auto seq = TouchSequence::begin(from, t);
    if (!seq)
        return failure(TouchResult::Outcome::NotFound, "nothing takes touches there");
    TouchResult result;
    result.outcome = TouchResult::Outcome::Delivered;
    result.hitView = seq->hitView();

    const double frame = 1.0 / 60.0;
    int steps = std::max(2, static_cast<int>(std::lround(options.duration / frame)));
    double step = options.duration / steps;
    auto moveClockTo = [&](double time) {
        if (loop.hasManualClock())
            loop.advanceBy(time - loop.monotonicNow());
        else
            loop.runPending();
    };
    for (int i = 1; i <= steps; ++i) {
        t += step;
        moveClockTo(t);
        double k = static_cast<double>(i) / steps;
        seq->moveTo({ from.x + translation.x * k, from.y + translation.y * k }, t);
    }
    if (!options.fling) {
        t += std::max(options.hold, frame);
        moveClockTo(t);
        seq->moveTo({ from.x + translation.x, from.y + translation.y }, t);
    }
    seq->end(t);
    settle();
    return result;
}

TouchResult Driver::dragView(const std::shared_ptr<View>& view, Point translation, DragOptions options)
{
    Point p;
    TouchResult result = check(view, p);
    if (!result)
        return result;
    return drag(p, translation, options);
}

TouchResult Driver::dragScrollView(const std::shared_ptr<ScrollView>& scrollView, Point translation, bool decelerate)
{
    Point p;
    TouchResult result = check(scrollView, p);
    if (!result)
        return result;
    if (!result.hitView->isDescendantOf(scrollView.get()))
        return failure(TouchResult::Outcome::Covered, "the scroll view does not take touches", result.hitView);
    DragOptions options;
    options.fling = decelerate;
    return drag(p, translation, options);
}

TouchResult Driver::pullDownAndRelease(const std::shared_ptr<ScrollView>& table, double distance)
{
    return dragScrollView(table, { 0, distance }, false);
}

// --- time ---

void Driver::settle() const
{
    RunLoop::main().runPending();
    for (const auto& w : Window::windows())
        w->layoutIfNeeded();
}

void Driver::advance(double seconds) const
{
    auto& loop = RunLoop::main();
    if (loop.hasManualClock())
        loop.advanceBy(seconds);
    else
        loop.runPending();
    settle();
}

}

namespace pf {

TouchResult Driver::actOnPage(const std::string& what, const std::function<bool(WebContent&)>& act)
{
    auto pages = findAll([](const View& v) { return dynamic_cast<const WebContent*>(&v) != nullptr; });
    if (pages.empty())
        return failure(TouchResult::Outcome::NotFound, "no web page is visible");
    TouchResult last = failure(TouchResult::Outcome::NotFound, "no visible page has " + what);
    for (const auto& view : pages) {
        Point p;
        TouchResult reach = check(view, p);
        if (!reach) {
            last = reach;
            continue;
        }
        if (act(dynamic_cast<WebContent&>(*view))) {
            settle();
            return reach;
        }
    }
    return last;
}

TouchResult Driver::tapLink(const std::string& text)
{
    return actOnPage("a link \"" + text + "\"", [&](WebContent& page) { return page.activateLink(text); });
}

TouchResult Driver::fillPageField(const std::string& field, const std::string& value)
{
    return actOnPage("a field \"" + field + "\"", [&](WebContent& page) { return page.fillField(field, value); });
}

TouchResult Driver::pressPageButton(const std::string& control)
{
    return actOnPage("a button \"" + control + "\"", [&](WebContent& page) { return page.pressButton(control); });
}

}
