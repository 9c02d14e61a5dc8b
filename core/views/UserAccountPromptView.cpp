#include "core/views/UserAccountPromptView.h"

#include "platform/kit/RichTextLabel.h"

void UserAccountPromptView::assignText(const std::vector<std::string>& markupTexts)
{
    removeAllSubviews();
    for (size_t i = 0; i < markupTexts.size(); ++i) {
        auto label = std::make_shared<pf::RichTextLabel>(pf::Rect { 20, 40 + 40.0 * static_cast<double>(i), 200, 30 });
        label->setTextAlignment(pf::TextAlignment::Center);
        label->setBackgroundColor(pf::Color::clear());
        label->setText(markupTexts[i]);
        addSubview(label);
    }
}
