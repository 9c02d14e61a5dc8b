#include "tools/portal/PortalImages.h"

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/TextMeasurer.h"

#include <algorithm>

namespace portal::PortalImages {

namespace {

using pf::BitmapContext;
using pf::Color;
using pf::Rect;

const Color kPalette[] { Color::rgb(0.32, 0.67, 0.98), Color::rgb(0.49, 0.78, 0.24), Color::rgb(1.0, 0.72, 0.0),
    Color::rgb(0.91, 0.36, 0.36), Color::rgb(0.58, 0.44, 0.86), Color::rgb(0.18, 0.70, 0.66),
    Color::rgb(0.95, 0.52, 0.20), Color::rgb(0.35, 0.40, 0.50) };

Color colour(int seed)
{
    return kPalette[static_cast<unsigned>(seed) % std::size(kPalette)];
}

// The colour scaled towards black (`factor` < 1) and then lifted by `floor` towards white.
Color mixed(const Color& c, double factor, double floor = 0)
{
    return Color::rgb(floor + c.red * factor, floor + c.green * factor, floor + c.blue * factor);
}

std::string firstCharacter(const std::string& text)
{
    if (text.empty())
        return "?";
    auto lead = static_cast<unsigned char>(text[0]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return text.substr(0, std::min(length, text.size()));
}

// Draws `text` on one line centred on (cx, cy) in the context's current transformation.
void centredText(BitmapContext& context, const std::string& text, double cx, double cy, double size, const Color& color,
    bool bold = false)
{
    pf::Font font { size, bold };
    pf::Size extent = pf::TextMeasurer::sizeOfText(text, font);
    // A point to spare, so the measured line never wraps.
    context.drawText(text, Rect(cx - extent.width / 2, cy - extent.height / 2, extent.width + 1, extent.height + 1), font, color);
}

template <class Draw>
std::vector<unsigned char> render(int width, int height, Draw draw)
{
    BitmapContext context({ static_cast<double>(width), static_cast<double>(height) });
    context.setFillColor(Color::white());
    context.fillRect(Rect(0, 0, width, height));
    draw(context);
    auto image = context.makeImage();
    return image ? image->pngData() : std::vector<unsigned char> {};
}

}

std::vector<unsigned char> icon(const std::string& game, int seed)
{
    return render(80, 80, [&](BitmapContext& context) {
        context.setFillColor(colour(seed));
        context.fillRoundedRect(Rect(4, 4, 72, 72), 14);
        centredText(context, firstCharacter(game), 40, 40, 38, Color::white(), true);
    });
}

std::vector<unsigned char> banner(const std::string& caption, int seed)
{
    return render(320, 126, [&](BitmapContext& context) {
        // Darkening from the colour to half of it along the diagonal.
        const double width = 320, height = 126;
        Color c = colour(seed);
        pf::Image gradient(320, 126);
        for (int y = 0; y < 126; ++y) {
            for (int x = 0; x < 320; ++x) {
                double along = ((x + 0.5) * width + (y + 0.5) * height) / (width * width + height * height);
                gradient.pixels()[static_cast<size_t>(y) * 320 + x] = pf::Image::pixelFromColor(mixed(c, 1 - std::clamp(along, 0.0, 1.0) / 2));
            }
        }
        context.drawImage(gradient, Rect(0, 0, width, height));
        context.setFillColor(Color::rgb(1, 1, 1, 0.15));
        context.fillRoundedRect(Rect(200, -40, 140, 140), 70);
        centredText(context, caption, 160, 56, 20, Color::white(), true);
    });
}

std::vector<unsigned char> avatar(const std::string& nickname, int seed)
{
    return render(64, 64, [&](BitmapContext& context) {
        context.setFillColor(Color::rgb(0.93, 0.93, 0.94));
        context.fillRect(Rect(0, 0, 64, 64));
        context.setFillColor(colour(seed));
        context.fillRoundedRect(Rect(2, 2, 60, 60), 30);
        centredText(context, firstCharacter(nickname), 32, 32, 28, Color::white(), true);
    });
}

std::vector<unsigned char> captcha(const std::vector<std::string>& answer, const std::array<std::string, 9>& words, int seed)
{
    return render(kCaptchaWidth, kCaptchaHeight, [&](BitmapContext& context) {
        // Question strip.
        context.setFillColor(Color::rgb(0.96, 0.94, 0.86));
        context.fillRect(Rect(10, 10, 120, 40));
        centredText(context, "请依次点击", 70, 19, 11, Color::rgb(0.45, 0.45, 0.45));
        std::string asked;
        for (auto& word : answer)
            asked += (asked.empty() ? "" : " ") + word;
        centredText(context, asked, 70, 38, 16, Color::rgb(0.85, 0.25, 0.1), true);

        // Word tiles.
        for (int i = 0; i < 9; ++i) {
            double x = 10 + (i % 3) * 40;
            double y = 50 + (i / 3) * 40;
            Color c = colour(seed + i);
            context.setFillColor(mixed(c, 0.4, 0.6));
            context.fillRect(Rect(x, y, 40, 40));
            context.saveState();
            context.translate(x + 20, y + 20);
            context.rotate(((seed * 7 + i * 5) % 11 - 5) * 0.05);
            centredText(context, words[static_cast<size_t>(i)], 0, 0, 24, mixed(c, 0.4), true);
            context.restoreState();
        }
    });
}

}
