// Rich-text markup as the labels get it (server texts are escaped first, but the markup around
// them and any escaping slip must still be safe), parsed and laid out. The first byte picks the
// width, the second the line spacing.
#include "fuzz/support/FuzzSupport.h"
#include "platform/kit/RichTextLayout.h"
#include "platform/kit/RichTextMarkup.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    fuzz::FuzzInput input(data, size);
    double width = input.takeByte() * 2.0;
    double lineSpacing = input.takeByte() / 16.0;
    std::string_view markup = input.rest();

    auto runs = pf::RichTextMarkup::parse(markup, pf::Font::system(15), pf::Color::black());
    for (const auto& run : runs)
        if (run.text.empty() || run.font.pointSize < 1 || run.font.pointSize > 512)
            std::abort();
    // Escaped text shows exactly as written.
    std::string plain = pf::RichTextMarkup::plainText(runs);
    auto escaped = pf::RichTextMarkup::parse(pf::RichTextMarkup::escape(markup), pf::Font::system(15), pf::Color::black());
    if (pf::RichTextMarkup::plainText(escaped) != markup)
        std::abort();

    auto metrics = pf::RichTextLayout::measure(runs, width, lineSpacing);
    if (width > 0 && metrics.size.width > width)
        std::abort();
    return 0;
}
