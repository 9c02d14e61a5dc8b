#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>

namespace pf {
class GifView;
}

// The last row of the paged lists: while more pages exist, the animated "loading.gif" (half the
// picture's size, centred where the new cell's middle is: (160, 22)); once everything is shown,
// the centred text "已经显示全部内容". A new cell every time, clear, with no highlight.
class PagingFooterCell : public pf::TableViewCell {
public:
    static constexpr const char* kEndText = "已经显示全部内容";

    static std::shared_ptr<PagingFooterCell> create(bool isMoreInfo);

    // The loading animation; null when the cell shows the end text.
    std::shared_ptr<pf::GifView> loadingView() const { return m_loadingView; }

    std::string dumpClassName() const override { return "PagingFooterCell"; }

private:
    void fetchGifImage();

    std::shared_ptr<pf::GifView> m_loadingView;
};
