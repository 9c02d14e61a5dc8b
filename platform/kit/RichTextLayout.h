#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/kit/RichTextMarkup.h"

#include <vector>

namespace pf {

// Lays styled runs out with the process's text engine, the way a rich-text label shows them:
// wrapped at a width (between words, or between characters in Chinese text and in words longer
// than a line), line breaks kept, `lineSpacing` points between lines.
//
// Rules:
// - Sizes are rounded up to whole points; no runs (or only empty text) measure (0, 0).
// - A width of 0 or less means no limit; the measured width never exceeds a positive limit.
// - Broken UTF-8 in a run is measured as the engine would show it (replacement characters).
class RichTextLayout {
public:
    struct Metrics {
        Size size;
        int lineCount { 0 };
    };
    static Metrics measure(const std::vector<RichTextRun>& runs, double width, double lineSpacing);
};

}
