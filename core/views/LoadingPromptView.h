#pragma once

#include "platform/ui/View.h"

#include <memory>

namespace pf {
class GifView;
class Label;
}

// The indicator shown while a list or a page loads: the animated "page_loading.gif" at half its
// pixel size centred at (160, 200), and under it the line "主人，人家在努力加载哦...". It sets no
// background; the owner gives the frame, adds it, and removes it when the content is there.
// A missing picture leaves an animation of size zero at (160, 200), the text then starting at
// y 200.
class LoadingPromptView : public pf::View {
public:
    // What messages about the screen call the indicator, which lies over what is loading.
    static constexpr const char* kOverlayName = "the loading overlay";

    static std::shared_ptr<LoadingPromptView> create(const pf::Rect& frame);

    std::shared_ptr<pf::GifView> loadingPromptGifView() const { return m_loadingPromptGifView; }
    std::shared_ptr<pf::Label> promptText() const { return m_promptText; }

    std::string dumpClassName() const override { return "LoadingPromptView"; }

    // Use create(): the parts can only be added once the view is owned.
    explicit LoadingPromptView(const pf::Rect& frame) : pf::View(frame) { }

private:
    void addLoadingPromptViewControl();
    void addPromptTextControl();

    std::shared_ptr<pf::GifView> m_loadingPromptGifView;
    std::shared_ptr<pf::Label> m_promptText;
};
