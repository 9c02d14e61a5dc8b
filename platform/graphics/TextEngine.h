#pragma once

#include "platform/graphics/Font.h"

#include <functional>
#include <string_view>

struct _PangoContext;
struct _PangoLayout;

namespace pf {

// The process's one text engine, shared by everything that lays out or draws text: one font map
// and context set up so that one point is one unit (72 dpi), without hinting, so that sizes are
// the same on every machine that ran the set-up script.
//
// Rules:
// - All use goes through `withContext`, which holds the engine's lock while `body` runs; the
//   context must not be kept beyond it. Do not call `withContext` from inside `body`.
// - The engine lives until the process ends (its caches outlive static destruction).
class TextEngine {
public:
    static void withContext(const std::function<void(_PangoContext*)>& body);
    // A new layout in `context` (the one given to a withContext body) holding `text` set in
    // `font`. Broken UTF-8 shows as replacement characters, so text measures as it is drawn.
    // The caller releases the layout (g_object_unref) before the body ends.
    static _PangoLayout* newLayout(_PangoContext* context, const Font& font, std::string_view text);
};

}
