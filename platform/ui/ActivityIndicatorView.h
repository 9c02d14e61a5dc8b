#pragma once

#include "platform/ui/View.h"

namespace pf {

enum class ActivityIndicatorStyle { WhiteLarge, White, Gray };

// A spinner. It is hidden while stopped when `hidesWhenStopped` is on (the default). Its size
// follows the style: 37 points square for the large one, 20 for the others.
class ActivityIndicatorView : public View {
public:
    explicit ActivityIndicatorView(ActivityIndicatorStyle style = ActivityIndicatorStyle::White);

    ActivityIndicatorStyle style() const { return m_style; }
    void setStyle(ActivityIndicatorStyle style);
    std::optional<Color> color() const { return m_color; }
    void setColor(std::optional<Color> color) { m_color = color; }
    bool hidesWhenStopped() const { return m_hidesWhenStopped; }
    void setHidesWhenStopped(bool hides);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return m_animating; }

    Size sizeThatFits(Size size) const override;
    void dumpAttributes(DumpAttributes& attributes) const override;

private:
    ActivityIndicatorStyle m_style;
    std::optional<Color> m_color;
    bool m_hidesWhenStopped { true };
    bool m_animating { false };
};

}
