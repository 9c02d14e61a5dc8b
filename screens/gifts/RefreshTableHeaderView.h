#pragma once

#include "platform/kit/PullRefreshHeaderView.h"

#include <memory>

namespace pf {
class GifView;
class Label;
}

// The pull-to-refresh header of the application's lists. Instead of state texts, an arrow and
// a spinner it shows, 30 points above its bottom edge, the animated "refresh.gif" (18 x 18 at
// x 40) and the text "正在刷新..." (from x 100), which come into view as the list is pulled and
// stay while a refresh keeps the header open. The text is the same in every state; the pull,
// release and loading behaviour is the base header's.
//
// The lists make it as tall as the table and place it just above the content.
class RefreshTableHeaderView : public pf::PullRefreshHeaderView {
public:
    static std::shared_ptr<RefreshTableHeaderView> create(const pf::Rect& frame);

    std::shared_ptr<pf::GifView> gifImageView() const { return m_gifImageView; }
    std::shared_ptr<pf::Label> promptText() const { return m_promptText; }

    std::string dumpClassName() const override { return "RefreshTableHeaderView"; }

    // Use create(): the parts can only be added once the header is owned.
    explicit RefreshTableHeaderView(const pf::Rect& frame) : pf::PullRefreshHeaderView(frame) { }

private:
    // `frame` gives the animation's size; it sits 30 points above the bottom of `superViewFrame`.
    void fetchGifImageWithFrame(const pf::Rect& frame, const pf::Rect& superViewFrame);
    void fetchPromptText();

    std::shared_ptr<pf::GifView> m_gifImageView;
    std::shared_ptr<pf::Label> m_promptText;
};
