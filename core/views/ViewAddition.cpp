#include "core/views/ViewAddition.h"

#include "platform/foundation/RunLoop.h"
#include "platform/graphics/TextMeasurer.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Label.h"

#include <algorithm>
#include <vector>
#include <cstdlib>
#include <cxxabi.h>

std::string ViewAddition::classNameOf(const std::type_info& type)
{
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = (status == 0 && demangled) ? demangled : type.name();
    std::free(demangled);
    auto colon = name.rfind("::");
    return colon == std::string::npos ? name : name.substr(colon + 2);
}

std::string ViewAddition::wrongFormatReason(const std::string& nibName, const std::string& className)
{
    return "Nib for '" + nibName + "' must contain one View, and its class must be '" + className + "'";
}

std::shared_ptr<pf::View> ViewAddition::loadWithNibName(const std::string& nibName)
{
    if (auto view = pf::Nib::instantiate(nibName).firstOfType<pf::View>())
        return view;
    throw WrongNibFormat(wrongFormatReason(nibName, "View"));
}

void ViewAddition::showTip(const std::shared_ptr<pf::View>& view, const std::string& text)
{
    if (!view)
        return;
    constexpr double kMaxWidth = 280, kMaxHeight = 300, kPadding = 10;
    auto label = std::make_shared<pf::Label>();
    label->setText(text);
    label->setTextColor(pf::Color::white());
    label->setTextAlignment(pf::TextAlignment::Center);
    label->setNumberOfLines(0);
    label->setLineBreakMode(pf::LineBreakMode::WordWrap);
    pf::Size fitted = label->sizeThatFits({ kMaxWidth, kMaxHeight });
    fitted.height = std::min(fitted.height, kMaxHeight);
    label->setFrame({ kPadding, kPadding, fitted.width, fitted.height });

    auto box = std::make_shared<pf::View>(pf::Rect { 0, 0, fitted.width + 2 * kPadding, fitted.height + 2 * kPadding });
    box->setTag(kTipTag);
    box->setBackgroundColor(pf::Color::rgb(0, 0, 0, 0.5));
    box->layer().setCornerRadius(6.0);
    box->addSubview(label);
    pf::Rect bounds = view->bounds();
    box->setCenter({ bounds.width() / 2, bounds.height() / 2 });
    view->addSubview(box);

    pf::Animation::beginAnimations("fadeTip");
    pf::Animation::setAnimationDuration(kTipDuration);
    box->setAlpha(0.0);
    pf::Animation::commitAnimations();

    std::weak_ptr<pf::View> weakView = view;
    pf::RunLoop::main().postDelayed(kTipDuration, [weakView] {
        if (auto owner = weakView.lock())
            removeTip(owner);
    });
}

void ViewAddition::removeTip(const std::shared_ptr<pf::View>& view)
{
    if (!view)
        return;
    // One box per call: a tip shown later keeps its own schedule.
    const auto& subviews = view->subviews();
    auto it = std::find_if(subviews.begin(), subviews.end(), [](const auto& sub) { return sub->tag() == kTipTag; });
    if (it != subviews.end()) {
        auto box = *it;
        box->removeFromSuperview();
    }
}
