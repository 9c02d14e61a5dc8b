#include "platform/graphics/TextEngine.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <mutex>

// The font configuration library keeps its caches for the whole process and loses track of a
// few blocks of them; sanitized builds are told to expect that rather than fail every run that
// touched text. (Linked in with the engine, which every text user reaches.)
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace pf {

namespace {

struct Engine {
    std::mutex mutex;
    PangoFontMap* fontMap { nullptr };
    PangoContext* context { nullptr };

    Engine()
    {
        fontMap = pango_cairo_font_map_new();
        pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(fontMap), 72.0);
        context = pango_font_map_create_context(fontMap);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(context, options);
        cairo_font_options_destroy(options);
        pango_cairo_context_set_resolution(context, 72.0);
        pango_context_set_round_glyph_positions(context, FALSE);
    }
};

Engine& engine()
{
    static Engine* shared = new Engine();
    return *shared;
}

}

void TextEngine::withContext(const std::function<void(_PangoContext*)>& body)
{
    Engine& e = engine();
    std::lock_guard lock(e.mutex);
    body(e.context);
}

PangoLayout* TextEngine::newLayout(PangoContext* context, const Font& font, std::string_view text)
{
    PangoLayout* layout = pango_layout_new(context);
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, Font::familyName());
    pango_font_description_set_absolute_size(description, std::max(font.pointSize, 0.5) * PANGO_SCALE);
    pango_font_description_set_weight(description, font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout, description);
    pango_font_description_free(description);
    // The engine refuses broken UTF-8 outright; show what can be shown.
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    pango_layout_set_text(layout, valid, -1);
    g_free(valid);
    return layout;
}

}
