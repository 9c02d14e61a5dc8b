#include "platform/graphics/BitmapContext.h"

#include "platform/graphics/TextEngine.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <vector>

namespace pf {

namespace {

struct Paint {
    Color fill { Color::black() };
    Color stroke { Color::black() };
    double lineWidth { 1 };
};

void setSource(cairo_t* cr, const Color& c)
{
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
}

void roundedRectPath(cairo_t* cr, const Rect& r, double radius)
{
    double x = r.minX(), y = r.minY(), w = std::abs(r.width()), h = std::abs(r.height());
    radius = std::clamp(radius, 0.0, std::min(w, h) / 2);
    if (radius <= 0) {
        cairo_rectangle(cr, x, y, w, h);
        return;
    }
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

}

struct BitmapContext::Surface {
    std::vector<std::uint32_t> pixels;
    cairo_surface_t* surface { nullptr };
    cairo_t* cr { nullptr };
    std::vector<Paint> paints { Paint {} };

    ~Surface()
    {
        if (cr)
            cairo_destroy(cr);
        if (surface)
            cairo_surface_destroy(surface);
    }
    Paint& paint() { return paints.back(); }
};

BitmapContext::BitmapContext(Size size, double scale)
    : m_scale(scale > 0 && std::isfinite(scale) ? scale : 1.0)
{
    double w = std::ceil(size.width * m_scale), h = std::ceil(size.height * m_scale);
    if (!(w >= 1 && h >= 1 && w <= Image::kMaxDimension && h <= Image::kMaxDimension && w * h <= Image::kMaxPixels))
        return;
    m_pixelWidth = static_cast<int>(w);
    m_pixelHeight = static_cast<int>(h);
    m_surface = std::make_unique<Surface>();
    m_surface->pixels.assign(static_cast<size_t>(m_pixelWidth) * m_pixelHeight, 0);
    m_surface->surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(m_surface->pixels.data()),
        CAIRO_FORMAT_ARGB32, m_pixelWidth, m_pixelHeight, m_pixelWidth * 4);
    m_surface->cr = cairo_create(m_surface->surface);
    if (cairo_status(m_surface->cr) != CAIRO_STATUS_SUCCESS) {
        m_surface.reset();
        m_pixelWidth = m_pixelHeight = 0;
        return;
    }
    cairo_scale(m_surface->cr, m_scale, m_scale);
}

BitmapContext::~BitmapContext() = default;

bool BitmapContext::isValid() const
{
    return m_surface != nullptr;
}

void BitmapContext::saveState()
{
    if (!m_surface)
        return;
    cairo_save(m_surface->cr);
    m_surface->paints.push_back(m_surface->paint());
}

void BitmapContext::restoreState()
{
    if (!m_surface || m_surface->paints.size() <= 1)
        return;
    cairo_restore(m_surface->cr);
    m_surface->paints.pop_back();
}

void BitmapContext::translate(double dx, double dy)
{
    if (m_surface)
        cairo_translate(m_surface->cr, dx, dy);
}

void BitmapContext::rotate(double radians)
{
    if (m_surface)
        cairo_rotate(m_surface->cr, radians);
}

void BitmapContext::scaleBy(double sx, double sy)
{
    // A zero scale would make the matrix singular and put cairo into an error state for good.
    if (m_surface && sx != 0 && sy != 0 && std::isfinite(sx) && std::isfinite(sy))
        cairo_scale(m_surface->cr, sx, sy);
}

void BitmapContext::clipToRect(const Rect& rect)
{
    if (!m_surface)
        return;
    cairo_rectangle(m_surface->cr, rect.minX(), rect.minY(), std::abs(rect.width()), std::abs(rect.height()));
    cairo_clip(m_surface->cr);
}

void BitmapContext::setFillColor(const Color& color)
{
    if (m_surface)
        m_surface->paint().fill = color;
}

void BitmapContext::setStrokeColor(const Color& color)
{
    if (m_surface)
        m_surface->paint().stroke = color;
}

void BitmapContext::setLineWidth(double width)
{
    if (m_surface && width >= 0)
        m_surface->paint().lineWidth = width;
}

void BitmapContext::fillRect(const Rect& rect)
{
    fillRoundedRect(rect, 0);
}

void BitmapContext::strokeRect(const Rect& rect)
{
    strokeRoundedRect(rect, 0);
}

void BitmapContext::clearRect(const Rect& rect)
{
    if (!m_surface)
        return;
    cairo_t* cr = m_surface->cr;
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_rectangle(cr, rect.minX(), rect.minY(), std::abs(rect.width()), std::abs(rect.height()));
    cairo_fill(cr);
    cairo_restore(cr);
}

void BitmapContext::fillRoundedRect(const Rect& rect, double radius)
{
    if (!m_surface)
        return;
    cairo_t* cr = m_surface->cr;
    roundedRectPath(cr, rect, radius);
    setSource(cr, m_surface->paint().fill);
    cairo_fill(cr);
}

void BitmapContext::strokeRoundedRect(const Rect& rect, double radius)
{
    if (!m_surface)
        return;
    cairo_t* cr = m_surface->cr;
    roundedRectPath(cr, rect, radius);
    setSource(cr, m_surface->paint().stroke);
    cairo_set_line_width(cr, m_surface->paint().lineWidth);
    cairo_stroke(cr);
}

void BitmapContext::strokeLine(Point from, Point to)
{
    if (!m_surface)
        return;
    cairo_t* cr = m_surface->cr;
    cairo_move_to(cr, from.x, from.y);
    cairo_line_to(cr, to.x, to.y);
    setSource(cr, m_surface->paint().stroke);
    cairo_set_line_width(cr, m_surface->paint().lineWidth);
    cairo_stroke(cr);
}

void BitmapContext::drawImage(const Image& image, const Rect& destination, double alpha)
{
    if (!m_surface || image.pixels().empty() || destination.isEmpty())
        return;
    // Cairo only reads the source; it wants a mutable pointer all the same.
    auto* data = reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(image.pixels().data()));
    cairo_surface_t* source = cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, image.pixelWidth(),
        image.pixelHeight(), image.pixelWidth() * 4);
    cairo_t* cr = m_surface->cr;
    cairo_save(cr);
    cairo_translate(cr, destination.x(), destination.y());
    cairo_scale(cr, destination.width() / image.pixelWidth(), destination.height() / image.pixelHeight());
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(cr);
    // Padding keeps the edges of a stretched picture from fading into transparency.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
    cairo_rectangle(cr, 0, 0, image.pixelWidth(), image.pixelHeight());
    cairo_clip(cr);
    cairo_paint_with_alpha(cr, std::clamp(alpha, 0.0, 1.0));
    cairo_restore(cr);
    cairo_surface_destroy(source);
}

void BitmapContext::drawText(const std::string& text, const Rect& rect, const Font& font, const Color& color)
{
    if (!m_surface || text.empty() || rect.isEmpty())
        return;
    cairo_t* cr = m_surface->cr;
    cairo_save(cr);
    cairo_rectangle(cr, rect.minX(), rect.minY(), rect.width(), rect.height());
    cairo_clip(cr);
    TextEngine::withContext([&](PangoContext* context) {
        // The engine's context gives the same metrics as text measurement; this surface's
        // transformation is copied onto it for the drawing.
        pango_cairo_update_context(cr, context);
        PangoLayout* layout = TextEngine::newLayout(context, font, text);
        pango_layout_set_width(layout, static_cast<int>(rect.width() * PANGO_SCALE));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        cairo_move_to(cr, rect.minX(), rect.minY());
        setSource(cr, color);
        pango_cairo_show_layout(cr, layout);
        g_object_unref(layout);
        // Leave the shared context untransformed for the next user.
        pango_context_set_matrix(context, nullptr);
    });
    cairo_restore(cr);
}

std::shared_ptr<Image> BitmapContext::makeImage() const
{
    if (!m_surface)
        return nullptr;
    cairo_surface_flush(m_surface->surface);
    auto image = std::make_shared<Image>(m_pixelWidth, m_pixelHeight, m_scale);
    image->pixels() = m_surface->pixels;
    return image;
}

}
