#pragma once

#include "platform/graphics/Font.h"
#include "platform/graphics/TextMeasurer.h"
#include "platform/ui/TextAlignment.h"
#include "platform/ui/View.h"

#include <string>

namespace pf {

// A read-only text. Defaults: system font 17, black, left aligned, one line, truncated at the
// tail, clear background, user interaction off. `sizeThatFits` measures with the text engine:
// one line keeps the text's natural width, more lines (0: any number) wrap at the width asked.
class Label : public View {
public:
    Label();
    explicit Label(const Rect& frame);

    const std::string& text() const { return m_text; }
    void setText(const std::string& text) { m_text = text; }
    Font font() const { return m_font; }
    void setFont(const Font& font) { m_font = font; }
    Color textColor() const { return m_textColor; }
    void setTextColor(const Color& color) { m_textColor = color; }
    TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(TextAlignment alignment) { m_alignment = alignment; }
    int numberOfLines() const { return m_lines; }
    void setNumberOfLines(int lines) { m_lines = lines < 0 ? 0 : lines; }
    LineBreakMode lineBreakMode() const { return m_lineBreak; }
    void setLineBreakMode(LineBreakMode mode) { m_lineBreak = mode; }
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool on) { m_highlighted = on; }

    Size sizeThatFits(Size size) const override;
    // How many lines the text takes in the current width (capped by numberOfLines).
    int displayedLineCount() const;

    void dumpAttributes(DumpAttributes& attributes) const override;

private:
    std::string m_text;
    Font m_font { Font::system(17) };
    Color m_textColor { Color::black() };
    TextAlignment m_alignment { TextAlignment::Left };
    int m_lines { 1 };
    LineBreakMode m_lineBreak { LineBreakMode::TruncateTail };
    bool m_highlighted { false };
};

}
