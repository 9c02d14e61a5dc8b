#include "platform/kit/RichTextLayout.h"

#include "platform/graphics/TextEngine.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

namespace pf {

RichTextLayout::Metrics RichTextLayout::measure(const std::vector<RichTextRun>& runs, double width, double lineSpacing)
{
    // The joined text, made valid first so the attribute ranges match what the engine sees.
    std::string text;
    PangoAttrList* attributes = pango_attr_list_new();
    for (const auto& run : runs) {
        if (run.text.empty())
            continue;
        gchar* valid = g_utf8_make_valid(run.text.data(), static_cast<gssize>(run.text.size()));
        auto start = static_cast<guint>(text.size());
        text += valid;
        g_free(valid);
        auto end = static_cast<guint>(text.size());
        PangoAttribute* size = pango_attr_size_new_absolute(static_cast<int>(std::max(run.font.pointSize, 0.5) * PANGO_SCALE));
        size->start_index = start, size->end_index = end;
        pango_attr_list_insert(attributes, size);
        PangoAttribute* weight = pango_attr_weight_new(run.font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        weight->start_index = start, weight->end_index = end;
        pango_attr_list_insert(attributes, weight);
    }
    Metrics metrics;
    if (text.empty()) {
        pango_attr_list_unref(attributes);
        return metrics;
    }

    TextEngine::withContext([&](PangoContext* context) {
        // Each run's size and weight come from the attributes; the first run's size is the base.
        PangoLayout* layout = TextEngine::newLayout(context, Font::system(runs.front().font.pointSize), text);
        pango_layout_set_attributes(layout, attributes);
        pango_layout_set_spacing(layout, static_cast<int>(std::max(lineSpacing, 0.0) * PANGO_SCALE));
        if (width > 0) {
            pango_layout_set_width(layout, static_cast<int>(std::floor(width * PANGO_SCALE)));
            pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        }
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        double w = static_cast<double>(logical.width) / PANGO_SCALE;
        double h = static_cast<double>(logical.height) / PANGO_SCALE;
        if (width > 0)
            w = std::min(w, width);
        metrics.size = { std::ceil(w - 1e-6), std::ceil(h - 1e-6) };
        metrics.lineCount = pango_layout_get_line_count(layout);
        g_object_unref(layout);
    });
    pango_attr_list_unref(attributes);
    return metrics;
}

}
