#include "core/views/PromptViewCreator.h"

#include "platform/graphics/Color.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Label.h"
#include "platform/ui/Window.h"

std::shared_ptr<PromptViewCreator> PromptViewCreator::sharedInstance()
{
    static const std::shared_ptr<PromptViewCreator> instance = std::make_shared<PromptViewCreator>();
    return instance;
}

std::shared_ptr<pf::View> PromptViewCreator::showPromptViewWithMessage(const std::string& message)
{
    auto window = pf::Window::keyWindow();
    if (!window)
        return nullptr;

    auto box = std::make_shared<pf::View>(pf::Rect { 40, 200, 240, 60 });
    box->setBackgroundColor(pf::Color::lightGray());

    auto label = std::make_shared<pf::Label>(pf::Rect { 10, 0, 220, 60 });
    label->setBackgroundColor(pf::Color::clear());
    label->setNumberOfLines(0);
    label->setLineBreakMode(pf::LineBreakMode::WordWrap);
    label->setTextAlignment(pf::TextAlignment::Center);
    label->setText(message);
    box->addSubview(label);

    pf::Rect bounds = window->bounds();
    box->setCenter({ bounds.midX(), bounds.midY() });
    window->addSubview(box);

    box->setAlpha(1.0);
    pf::Animation::animate(kDuration,
        [box] {
            box->setHidden(false);
            box->setAlpha(0.0);
        },
        [box](bool) {
            box->removeFromSuperview();
            box->setHidden(true);
        });
    return box;
}
