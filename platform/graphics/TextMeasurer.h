#pragma once

#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"

#include <string>

namespace pf {

// How text that does not fit on one line is broken.
enum class LineBreakMode {
    WordWrap, // break between words; a word longer than the line is broken between characters
    CharWrap, // break between any two characters
    Clip,     // one line, cut at the edge
    TruncateHead,
    TruncateMiddle,
    TruncateTail, // one line per line slot, the last one ending in "…"
};

// Measures text set in a Font with the real text engine, so the sizes of Latin and Chinese text
// are what a person would see, and identical on every machine that ran the set-up script (one
// installed family, no hinting, 72 dpi: one point is one unit).
//
// Rules:
// - Sizes are rounded up to whole points, as the platform's measuring calls do.
// - The empty text measures (0, 0).
// - Chinese text has no spaces: word wrap then breaks between characters.
// - A width of 0 or less means "no limit"; a height of 0 or less too.
// - `maxLines` 0 means no limit; otherwise only that many lines are counted (the rest would be
//   truncated by a label).
// - Thread-safe (the shared TextEngine, behind its lock).
class TextMeasurer {
public:
    // The size of the text on one line (newlines still start new lines).
    static Size sizeOfText(const std::string& text, const Font& font);
    // The size of the text laid out within `constraint`: wrapped at its width, cut after the
    // last whole line that fits its height.
    static Size sizeOfText(const std::string& text, const Font& font, Size constraint,
        LineBreakMode mode = LineBreakMode::WordWrap, int maxLines = 0);
    // Number of lines the text takes at that width (no height limit).
    static int lineCount(const std::string& text, const Font& font, double width,
        LineBreakMode mode = LineBreakMode::WordWrap);
    // Height of one line of the font.
    static double lineHeight(const Font& font);
};

}
