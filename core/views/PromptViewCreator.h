#pragma once

#include <memory>
#include <string>

namespace pf {
class View;
}

// Shows short messages as toasts: a light-grey 240 x 60 box with the text centred in it, in the
// middle of the key window above everything, fading from alpha 1 to 0 over kDuration seconds
// and then removed.
//
// Rules:
// - Nothing is queued: two toasts within kDuration lie on top of each other, the later above,
//   and each goes on its own schedule. A shown toast cannot be cancelled.
// - The text is shown as written (no markup); what does not fit the box is cut off.
// - With no key window nothing is shown.
class PromptViewCreator {
public:
    static constexpr double kDuration = 3.0;

    static std::shared_ptr<PromptViewCreator> sharedInstance();

    // Returns the toast box (null when there is no key window), for those who want to look.
    std::shared_ptr<pf::View> showPromptViewWithMessage(const std::string& message);
};
