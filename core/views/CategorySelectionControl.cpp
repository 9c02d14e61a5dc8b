#include "core/views/CategorySelectionControl.h"

#include "core/views/ColorFactory.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/ui/Label.h"

namespace {
constexpr const char* kAccent = "ffb701";
}

std::shared_ptr<CategorySelectionControl> CategorySelectionControl::create(const pf::Rect& frame, const std::string& title)
{
    auto control = std::make_shared<CategorySelectionControl>(frame);
    control->addBaseView();
    control->addTitle();
    control->addBottomPromptLine();
    control->addAction("handleTouchEvent", [](const std::shared_ptr<pf::Control>& sender) {
        std::static_pointer_cast<CategorySelectionControl>(sender)->handleTouchEvent();
    }, pf::ControlEvent::TouchUpInside);
    control->m_titleLabel->setText(title);
    return control;
}

void CategorySelectionControl::addBaseView()
{
    m_baseView = std::make_shared<pf::View>();
    m_baseView->setUserInteractionEnabled(false);
    addSubview(m_baseView);
}

void CategorySelectionControl::addTitle()
{
    m_titleLabel = std::make_shared<pf::Label>();
    m_titleLabel->setBackgroundColor(pf::Color::clear());
    m_titleLabel->setTextAlignment(pf::TextAlignment::Center);
    m_titleLabel->setUserInteractionEnabled(false);
    addSubview(m_titleLabel);
}

void CategorySelectionControl::addBottomPromptLine()
{
    m_bottomPromptLine = std::make_shared<pf::View>();
    m_bottomPromptLine->setUserInteractionEnabled(false);
    addSubview(m_bottomPromptLine);
}

void CategorySelectionControl::resetStatement(bool selected)
{
    if (!m_isAdapted) {
        pf::Rect bounds = this->bounds();
        double width = bounds.width(), height = bounds.height();
        m_baseView->setFrame(bounds);
        m_titleLabel->setFrame({ 0, 10, width, 20 });
        m_bottomPromptLine->setFrame({ (width - 60) / 2, height - 5, 60, 10 });
        m_isAdapted = true;
    }
    m_shownSelected = selected;
    if (selected) {
        auto accent = ColorFactory::colorWithHexRGB(kAccent).value_or(pf::Color::orange());
        m_titleLabel->setTextColor(accent);
        m_bottomPromptLine->setBackgroundColor(accent);
    } else {
        m_titleLabel->setTextColor(pf::Color::white());
        m_bottomPromptLine->setBackgroundColor(pf::Color::clear());
    }
}

void CategorySelectionControl::handleTouchEvent()
{
    resetStatement(true);
    if (auto delegate = m_delegate.lock())
        delegate->didSelectedCategorySelectionControl(m_index);
}

void CategorySelectionControl::dumpAttributes(pf::DumpAttributes& attributes) const
{
    pf::Control::dumpAttributes(attributes);
    if (m_shownSelected && !isSelected())
        attributes.flag("selected");
}
