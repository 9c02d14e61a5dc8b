#include "platform/graphics/TextEngine.h"

#include <pango/pangocairo.h>

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

}
