#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

namespace pf {
class GifView;
}

// The last row of the paged lists: while more pages exist, the animated "loading.gif" (half the
// picture's size, centred where the new cell's middle is: (160, 22)); once everything is shown,
// the centred text "已经显示全部内容". When the portal refused the page, its message instead
// of the animation (or, when it gave none, "加载失败，点击重试"), up to two lines, since a
// tap asks again. A new cell every time, clear, with no highlight.
class PagingFooterCell : public pf::TableViewCell {
public:
    static constexpr const char* kEndText = "已经显示全部内容";
    static constexpr const char* kRefusedText = "加载失败，点击重试";

    static std::shared_ptr<PagingFooterCell> create(bool isMoreInfo);
    // The footer of a refused page; `message` is the portal's (empty when it gave none).
    static std::shared_ptr<PagingFooterCell> createRefused(const std::string& message);

    // The loading animation; null when the cell shows a text.
    std::shared_ptr<pf::GifView> loadingView() const { return m_loadingView; }

    std::string dumpClassName() const override { return "PagingFooterCell"; }

private:
    static std::shared_ptr<PagingFooterCell> createPlain();
    void showText(const std::string& text);
    void fetchGifImage();

    std::shared_ptr<pf::GifView> m_loadingView;
};
