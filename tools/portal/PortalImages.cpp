#include "tools/portal/PortalImages.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <mutex>

namespace portal::PortalImages {

namespace {

struct Rgb {
    double r, g, b;
};

constexpr Rgb kPalette[] { { 0.32, 0.67, 0.98 }, { 0.49, 0.78, 0.24 }, { 1.0, 0.72, 0.0 }, { 0.91, 0.36, 0.36 },
    { 0.58, 0.44, 0.86 }, { 0.18, 0.70, 0.66 }, { 0.95, 0.52, 0.20 }, { 0.35, 0.40, 0.50 } };

Rgb colour(int seed)
{
    return kPalette[static_cast<unsigned>(seed) % (sizeof kPalette / sizeof kPalette[0])];
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length)
{
    auto* out = static_cast<std::vector<unsigned char>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

std::string firstCharacter(const std::string& text)
{
    if (text.empty())
        return "?";
    auto lead = static_cast<unsigned char>(text[0]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return text.substr(0, std::min(length, text.size()));
}

// One font map for the process, used under `renderMutex`: the per-thread default maps would be
// made anew on every server thread.
std::mutex renderMutex;

PangoFontMap* fontMap()
{
    static PangoFontMap* map = pango_cairo_font_map_new();
    return map;
}

// Draws `text` centred on (cx, cy) in the given pixel size.
void centredText(cairo_t* cr, const std::string& text, double cx, double cy, int pixelSize, bool bold = false)
{
    PangoContext* context = pango_font_map_create_context(fontMap());
    pango_cairo_update_context(cr, context);
    PangoLayout* layout = pango_layout_new(context);
    g_object_unref(context);
    PangoFontDescription* font = pango_font_description_from_string("WenQuanYi Micro Hei");
    pango_font_description_set_absolute_size(font, pixelSize * PANGO_SCALE);
    if (bold)
        pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, text.c_str(), -1);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    cairo_move_to(cr, cx - width / 2.0, cy - height / 2.0);
    pango_cairo_show_layout(cr, layout);
    pango_font_description_free(font);
    g_object_unref(layout);
}

template <class Draw>
std::vector<unsigned char> render(int width, int height, Draw draw)
{
    std::lock_guard lock(renderMutex);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    draw(cr);
    cairo_destroy(cr);
    std::vector<unsigned char> png;
    cairo_surface_write_to_png_stream(surface, appendBytes, &png);
    cairo_surface_destroy(surface);
    return png;
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

}

std::vector<unsigned char> icon(const std::string& game, int seed)
{
    return render(80, 80, [&](cairo_t* cr) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        Rgb c = colour(seed);
        roundedRect(cr, 4, 4, 72, 72, 14);
        cairo_set_source_rgb(cr, c.r, c.g, c.b);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        centredText(cr, firstCharacter(game), 40, 40, 38, true);
    });
}

std::vector<unsigned char> banner(const std::string& caption, int seed)
{
    return render(320, 126, [&](cairo_t* cr) {
        Rgb c = colour(seed);
        cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 320, 126);
        cairo_pattern_add_color_stop_rgb(gradient, 0, c.r, c.g, c.b);
        cairo_pattern_add_color_stop_rgb(gradient, 1, c.r * 0.5, c.g * 0.5, c.b * 0.5);
        cairo_set_source(cr, gradient);
        cairo_paint(cr);
        cairo_pattern_destroy(gradient);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.15);
        cairo_arc(cr, 270, 30, 70, 0, 2 * M_PI);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        centredText(cr, caption, 160, 56, 20, true);
    });
}

std::vector<unsigned char> avatar(const std::string& nickname, int seed)
{
    return render(64, 64, [&](cairo_t* cr) {
        cairo_set_source_rgb(cr, 0.93, 0.93, 0.94);
        cairo_paint(cr);
        Rgb c = colour(seed);
        cairo_arc(cr, 32, 32, 30, 0, 2 * M_PI);
        cairo_set_source_rgb(cr, c.r, c.g, c.b);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        centredText(cr, firstCharacter(nickname), 32, 32, 28, true);
    });
}

std::vector<unsigned char> captcha(const std::vector<std::string>& answer, const std::array<std::string, 9>& words, int seed)
{
    return render(kCaptchaWidth, kCaptchaHeight, [&](cairo_t* cr) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);

        // Question strip.
        cairo_rectangle(cr, 10, 10, 120, 40);
        cairo_set_source_rgb(cr, 0.96, 0.94, 0.86);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0.45, 0.45, 0.45);
        centredText(cr, "请依次点击", 70, 19, 11);
        std::string asked;
        for (auto& word : answer)
            asked += (asked.empty() ? "" : " ") + word;
        cairo_set_source_rgb(cr, 0.85, 0.25, 0.1);
        centredText(cr, asked, 70, 38, 16, true);

        // Word tiles.
        for (int i = 0; i < 9; ++i) {
            double x = 10 + (i % 3) * 40;
            double y = 50 + (i / 3) * 40;
            Rgb c = colour(seed + i);
            cairo_rectangle(cr, x, y, 40, 40);
            cairo_set_source_rgb(cr, 0.6 + c.r * 0.4, 0.6 + c.g * 0.4, 0.6 + c.b * 0.4);
            cairo_fill(cr);
            cairo_save(cr);
            cairo_translate(cr, x + 20, y + 20);
            cairo_rotate(cr, ((seed * 7 + i * 5) % 11 - 5) * 0.05);
            cairo_set_source_rgb(cr, c.r * 0.4, c.g * 0.4, c.b * 0.4);
            centredText(cr, words[static_cast<size_t>(i)], 0, 0, 24, true);
            cairo_restore(cr);
        }
    });
}

}
