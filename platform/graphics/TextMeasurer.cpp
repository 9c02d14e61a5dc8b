#include "platform/graphics/TextMeasurer.h"

#include "platform/graphics/TextEngine.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace pf {

namespace {

    struct LayoutHandle {
        PangoLayout* layout;
        LayoutHandle(PangoContext* context, const Font& font, std::string_view text)
            : layout(TextEngine::newLayout(context, font, text)) { }
        ~LayoutHandle() { g_object_unref(layout); }
        LayoutHandle(const LayoutHandle&) = delete;
        LayoutHandle& operator=(const LayoutHandle&) = delete;
    };

    struct Measured {
        double width { 0 };
        double height { 0 };
        int lines { 0 };
    };

    // Lays the text out and sums the lines that are counted: at most `maxLines` (0: all) and only
    // those whose bottom lies within `maxHeight` (<= 0: any).
    Measured measure(const std::string& text, const Font& font, double maxWidth, double maxHeight,
        LineBreakMode mode, int maxLines)
    {
        Measured result;
        if (text.empty())
            return result;
        TextEngine::withContext([&](PangoContext* context) {
            LayoutHandle handle(context, font, text);
            PangoLayout* layout = handle.layout;
            // A width beyond what the layout can hold (an unbounded one, given as infinity or a
            // huge number) means no wrapping at all.
            constexpr double kWidestWrap = double(std::numeric_limits<int>::max()) / PANGO_SCALE;
            if (maxWidth > 0 && maxWidth < kWidestWrap) {
                pango_layout_set_width(layout, static_cast<int>(std::floor(maxWidth * PANGO_SCALE)));
                pango_layout_set_wrap(layout, mode == LineBreakMode::CharWrap ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
            } else {
                pango_layout_set_width(layout, -1);
            }

            PangoLayoutIter* iter = pango_layout_get_iter(layout);
            double top = -1;
            do {
                if (maxLines > 0 && result.lines >= maxLines)
                    break;
                PangoRectangle logical;
                pango_layout_iter_get_line_extents(iter, nullptr, &logical);
                double y = static_cast<double>(logical.y) / PANGO_SCALE;
                double h = static_cast<double>(logical.height) / PANGO_SCALE;
                if (top < 0)
                    top = y;
                double bottom = y + h - top;
                if (maxHeight > 0 && std::ceil(bottom) > maxHeight + 1e-6)
                    break;
                result.height = bottom;
                result.width = std::max(result.width, static_cast<double>(logical.width) / PANGO_SCALE);
                ++result.lines;
            } while (pango_layout_iter_next_line(iter));
            pango_layout_iter_free(iter);
        });

        if (maxWidth > 0)
            result.width = std::min(result.width, maxWidth);
        return result;
    }

    double roundUp(double v) { return std::ceil(v - 1e-6); }

}

Size TextMeasurer::sizeOfText(const std::string& text, const Font& font)
{
    Measured m = measure(text, font, 0, 0, LineBreakMode::WordWrap, 0);
    return { roundUp(m.width), roundUp(m.height) };
}

Size TextMeasurer::sizeOfText(const std::string& text, const Font& font, Size constraint, LineBreakMode mode, int maxLines)
{
    // Every mode but CharWrap wraps between words when more than one line may be used; the
    // truncating modes only change how the last line ends, not its size.
    Measured m = measure(text, font, constraint.width, constraint.height, mode, maxLines);
    return { roundUp(m.width), roundUp(m.height) };
}

int TextMeasurer::lineCount(const std::string& text, const Font& font, double width, LineBreakMode mode)
{
    return measure(text, font, width, 0, mode, 0).lines;
}

double TextMeasurer::lineHeight(const Font& font)
{
    return roundUp(measure("Ag", font, 0, 0, LineBreakMode::WordWrap, 0).height);
}

}
