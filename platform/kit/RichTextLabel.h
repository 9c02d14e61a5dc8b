#pragma once

#include "platform/graphics/Font.h"
#include "platform/kit/RichTextMarkup.h"
#include "platform/ui/TextAlignment.h"
#include "platform/ui/View.h"

#include <string>
#include <string_view>
#include <vector>

namespace pf {

// A label that shows rich-text markup (see RichTextMarkup): per-run font size, colour and
// bold, wrapped within its width. Defaults: system font 15 and black for text outside font
// tags, left aligned, 3 points between lines, user interaction off.
//
// Rules:
// - The markup is parsed when set and again when the default font or colour changes; the
//   runs and the plain text (shown on the dump line) follow from it.
// - `optimumSize` is the laid-out text's size within the current width (no limit at width 0);
//   `sizeThatFits` the same within the width asked. Neither changes the frame.
// - Texts from outside (names, server messages) go through `escape` before being put into
//   markup, so they show as written.
class RichTextLabel : public View {
public:
    static constexpr double kDefaultFontSize = 15;
    static constexpr double kDefaultLineSpacing = 3;

    RichTextLabel();
    explicit RichTextLabel(const Rect& frame);

    const std::string& text() const { return m_markup; }
    void setText(const std::string& markup);
    const std::vector<RichTextRun>& runs() const { return m_runs; }
    std::string plainText() const { return RichTextMarkup::plainText(m_runs); }

    Font font() const { return m_font; }
    void setFont(const Font& font);
    Color textColor() const { return m_textColor; }
    void setTextColor(const Color& color);
    TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(TextAlignment alignment) { m_alignment = alignment; }
    double lineSpacing() const { return m_lineSpacing; }
    void setLineSpacing(double spacing) { m_lineSpacing = spacing > 0 ? spacing : 0; }

    Size optimumSize() const;
    Size sizeThatFits(Size size) const override;
    // Lines the text takes in the current width.
    int lineCount() const;

    static std::string escape(std::string_view text) { return RichTextMarkup::escape(text); }

    void dumpAttributes(DumpAttributes& attributes) const override;

private:
    void reparse();

    std::string m_markup;
    std::vector<RichTextRun> m_runs;
    Font m_font { Font::system(kDefaultFontSize) };
    Color m_textColor { Color::black() };
    TextAlignment m_alignment { TextAlignment::Left };
    double m_lineSpacing { kDefaultLineSpacing };
};

}
