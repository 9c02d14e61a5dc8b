#include "platform/ui/TableView.h"

#include "platform/foundation/Log.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/Touch.h"

#include <algorithm>

namespace pf {

TableView::TableView(const Rect& frame, TableViewStyle style)
    : ScrollView(frame)
    , m_style(style)
{
    // Lists bounce vertically even when their rows do not fill them (pull-to-refresh needs it).
    setAlwaysBounceVertical(true);
}

TableView::~TableView() = default;

void TableView::setDataSource(std::weak_ptr<TableViewDataSource> dataSource)
{
    m_dataSource = std::move(dataSource);
    m_loaded = false;
    setNeedsLayout();
}

void TableView::setDelegate(std::weak_ptr<TableViewDelegate> delegate)
{
    m_delegate = delegate;
    ScrollView::setDelegate(std::weak_ptr<ScrollViewDelegate>(delegate));
    m_geometryValid = false;
    setNeedsLayout();
}

void TableView::setRowHeight(double height)
{
    m_rowHeight = height;
    m_geometryValid = false;
    setNeedsLayout();
}

void TableView::setSectionHeaderHeight(double height)
{
    m_sectionHeaderHeight = height;
    m_geometryValid = false;
    setNeedsLayout();
}

void TableView::setSectionFooterHeight(double height)
{
    m_sectionFooterHeight = height;
    m_geometryValid = false;
    setNeedsLayout();
}

void TableView::setTableHeaderView(std::shared_ptr<View> view)
{
    if (m_tableHeaderView && m_tableHeaderView->superview().get() == this)
        m_tableHeaderView->removeFromSuperview();
    m_tableHeaderView = std::move(view);
    if (m_tableHeaderView)
        addSubview(m_tableHeaderView);
    m_geometryValid = false;
    if (m_loaded)
        updateVisibleCells();
}

void TableView::setTableFooterView(std::shared_ptr<View> view)
{
    if (m_tableFooterView && m_tableFooterView->superview().get() == this)
        m_tableFooterView->removeFromSuperview();
    m_tableFooterView = std::move(view);
    if (m_tableFooterView)
        addSubview(m_tableFooterView);
    m_geometryValid = false;
    if (m_loaded)
        updateVisibleCells();
}

// --- data ---

void TableView::reloadData()
{
    if (m_updating) {
        m_reloadWanted = true; // a data source reloading from inside a cell request: once done
        return;
    }
    auto self = sharedView();
    for (auto& [ip, cell] : m_visible) {
        cell->removeFromSuperview();
        enqueue(cell);
    }
    m_visible.clear();
    for (auto* shown : { &m_headers, &m_footers }) {
        for (auto& [section, view] : *shown)
            if (view->superview().get() == this)
                view->removeFromSuperview();
        shown->clear();
    }
    m_selected.reset();
    m_touchedRow.reset();
    m_loaded = true;
    m_sections.clear();
    auto source = dataSource();
    if (source) {
        int sections = std::max(0, source->numberOfSectionsInTableView(*this));
        m_sections.resize(static_cast<size_t>(sections));
        for (int s = 0; s < sections; ++s) {
            int rows = std::max(0, source->numberOfRowsInSection(*this, s));
            m_sections[static_cast<size_t>(s)].rowY.resize(static_cast<size_t>(rows));
            m_sections[static_cast<size_t>(s)].rowHeight.resize(static_cast<size_t>(rows));
        }
    }
    m_geometryValid = false;
    updateVisibleCells();
}

int TableView::numberOfSections()
{
    if (!m_loaded)
        reloadData();
    return static_cast<int>(m_sections.size());
}

int TableView::numberOfRowsInSection(int section)
{
    if (!m_loaded)
        reloadData();
    if (section < 0 || section >= static_cast<int>(m_sections.size()))
        return 0;
    return static_cast<int>(m_sections[static_cast<size_t>(section)].rowY.size());
}

bool TableView::validIndexPath(const IndexPath& ip) const
{
    return ip.section >= 0 && ip.section < static_cast<int>(m_sections.size()) && ip.row >= 0
        && ip.row < static_cast<int>(m_sections[static_cast<size_t>(ip.section)].rowY.size());
}

// --- geometry ---

void TableView::ensureGeometry()
{
    if (!m_loaded)
        reloadData();
    if (!m_geometryValid)
        computeGeometry();
}

void TableView::computeGeometry()
{
    m_geometryValid = true;
    auto d = delegate();
    double width = bounds().width();
    double y = 0;
    if (m_tableHeaderView) {
        m_tableHeaderView->setFrame({ 0, 0, width, m_tableHeaderView->frame().height() });
        y = m_tableHeaderView->frame().height();
    }
    auto supplementaryHeight = [&](int s, bool header) {
        double h = TableViewDelegate::AutomaticHeight;
        bool hasView = false;
        if (d) {
            h = header ? d->heightForHeaderInSection(*this, s) : d->heightForFooterInSection(*this, s);
        }
        if (h >= 0)
            return h;
        // Automatic: ask whether a view exists (asked again when it is shown).
        if (d)
            hasView = (header ? d->viewForHeaderInSection(*this, s) : d->viewForFooterInSection(*this, s)) != nullptr;
        double withView = header ? m_sectionHeaderHeight : m_sectionFooterHeight;
        if (hasView)
            return withView;
        return m_style == TableViewStyle::Plain ? 0.0 : 10.0;
    };
    for (size_t s = 0; s < m_sections.size(); ++s) {
        Section& sec = m_sections[s];
        sec.headerY = y;
        sec.headerHeight = supplementaryHeight(static_cast<int>(s), true);
        y += sec.headerHeight;
        for (size_t r = 0; r < sec.rowY.size(); ++r) {
            double h = d ? d->heightForRowAtIndexPath(*this, { static_cast<int>(s), static_cast<int>(r) }) : TableViewDelegate::AutomaticHeight;
            if (h < 0)
                h = m_rowHeight;
            sec.rowY[r] = y;
            sec.rowHeight[r] = h;
            y += h;
        }
        sec.footerY = y;
        sec.footerHeight = supplementaryHeight(static_cast<int>(s), false);
        y += sec.footerHeight;
    }
    if (m_tableFooterView) {
        m_tableFooterView->setFrame({ 0, y, width, m_tableFooterView->frame().height() });
        y += m_tableFooterView->frame().height();
    }
    setContentSize({ width, y });
}

Rect TableView::rectForRowAtIndexPath(const IndexPath& ip)
{
    ensureGeometry();
    if (!validIndexPath(ip))
        return {};
    const Section& sec = m_sections[static_cast<size_t>(ip.section)];
    return { 0, sec.rowY[static_cast<size_t>(ip.row)], bounds().width(), sec.rowHeight[static_cast<size_t>(ip.row)] };
}

Rect TableView::rectForHeaderInSection(int section)
{
    ensureGeometry();
    if (section < 0 || section >= static_cast<int>(m_sections.size()))
        return {};
    const Section& sec = m_sections[static_cast<size_t>(section)];
    return { 0, sec.headerY, bounds().width(), sec.headerHeight };
}

Rect TableView::rectForFooterInSection(int section)
{
    ensureGeometry();
    if (section < 0 || section >= static_cast<int>(m_sections.size()))
        return {};
    const Section& sec = m_sections[static_cast<size_t>(section)];
    return { 0, sec.footerY, bounds().width(), sec.footerHeight };
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(Point p)
{
    ensureGeometry();
    if (p.x < 0 || p.x >= bounds().width())
        return std::nullopt;
    for (size_t s = 0; s < m_sections.size(); ++s) {
        const Section& sec = m_sections[s];
        if (sec.rowY.empty() || p.y < sec.rowY.front() || p.y >= sec.footerY)
            continue;
        auto it = std::upper_bound(sec.rowY.begin(), sec.rowY.end(), p.y);
        size_t r = static_cast<size_t>(it - sec.rowY.begin()) - 1;
        if (p.y < sec.rowY[r] + sec.rowHeight[r])
            return IndexPath { static_cast<int>(s), static_cast<int>(r) };
    }
    return std::nullopt;
}

void TableView::scrollToRowAtIndexPath(const IndexPath& ip, TableViewScrollPosition position, bool animated)
{
    Rect r = rectForRowAtIndexPath(ip);
    if (r.isEmpty() && !validIndexPath(ip))
        return;
    double h = bounds().height();
    double y = contentOffset().y;
    switch (position) {
    case TableViewScrollPosition::Top: y = r.y(); break;
    case TableViewScrollPosition::Middle: y = r.midY() - h / 2; break;
    case TableViewScrollPosition::Bottom: y = r.maxY() - h; break;
    case TableViewScrollPosition::None:
        if (r.y() < y)
            y = r.y();
        else if (r.maxY() > y + h)
            y = r.maxY() - h;
        break;
    }
    y = std::clamp(y, minContentOffset().y, maxContentOffset().y);
    setContentOffset({ contentOffset().x, y }, animated);
}

// --- cells ---

std::shared_ptr<TableViewCell> TableView::dequeueReusableCellWithIdentifier(const std::string& identifier)
{
    auto it = m_reuse.find(identifier);
    if (it == m_reuse.end() || it->second.empty())
        return nullptr;
    auto cell = it->second.back();
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

size_t TableView::reusableCellCount(const std::string& identifier) const
{
    auto it = m_reuse.find(identifier);
    return it == m_reuse.end() ? 0 : it->second.size();
}

void TableView::enqueue(const std::shared_ptr<TableViewCell>& cell)
{
    cell->setSelected(false);
    cell->setHighlighted(false);
    if (!cell->reuseIdentifier().empty())
        m_reuse[cell->reuseIdentifier()].push_back(cell);
}

std::shared_ptr<TableViewCell> TableView::cellForRowAtIndexPath(const IndexPath& ip)
{
    auto it = m_visible.find(ip);
    return it == m_visible.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells()
{
    std::vector<std::shared_ptr<TableViewCell>> cells;
    for (auto& [ip, cell] : m_visible)
        cells.push_back(cell);
    return cells;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows()
{
    std::vector<IndexPath> paths;
    for (auto& [ip, cell] : m_visible)
        paths.push_back(ip);
    return paths;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell& cell) const
{
    for (auto& [ip, c] : m_visible)
        if (c.get() == &cell)
            return ip;
    return std::nullopt;
}

void TableView::updateVisibleCells()
{
    if (m_updating)
        return;
    auto self = sharedView();
    m_updating = true;
    ensureGeometry();
    Rect visible = bounds();
    double top = visible.y(), bottom = visible.maxY();

    std::vector<IndexPath> wanted;
    if (visible.height() > 0) {
        for (size_t s = 0; s < m_sections.size(); ++s) {
            const Section& sec = m_sections[s];
            if (sec.rowY.empty() || sec.footerY <= top || (sec.rowY.front() >= bottom))
                continue;
            // Rows lie one after another, so the first one that can show is the last one
            // starting at or above the top: found by halving, so a scroll costs the same in a
            // long table as in a short one.
            auto after = std::upper_bound(sec.rowY.begin(), sec.rowY.end(), top);
            size_t first = after == sec.rowY.begin() ? 0 : static_cast<size_t>(after - sec.rowY.begin()) - 1;
            for (size_t r = first; r < sec.rowY.size() && sec.rowY[r] < bottom; ++r) {
                double y0 = sec.rowY[r], y1 = y0 + sec.rowHeight[r];
                if (y1 > top && sec.rowHeight[r] > 0)
                    wanted.push_back({ static_cast<int>(s), static_cast<int>(r) });
            }
        }
    }

    // Cells that left the visible area go to the reuse queue first, so that the new rows can
    // have them.
    for (auto it = m_visible.begin(); it != m_visible.end();) {
        if (!std::binary_search(wanted.begin(), wanted.end(), it->first)) {
            auto cell = it->second;
            it = m_visible.erase(it);
            cell->removeFromSuperview();
            enqueue(cell);
        } else {
            ++it;
        }
    }

    auto source = dataSource();
    auto d = delegate();
    for (const auto& ip : wanted) {
        Rect rowRect { 0, m_sections[static_cast<size_t>(ip.section)].rowY[static_cast<size_t>(ip.row)], visible.width(),
            m_sections[static_cast<size_t>(ip.section)].rowHeight[static_cast<size_t>(ip.row)] };
        auto found = m_visible.find(ip);
        if (found != m_visible.end()) {
            found->second->setFrame(rowRect);
            continue;
        }
        std::shared_ptr<TableViewCell> cell = source ? source->cellForRowAtIndexPath(*this, ip) : nullptr;
        if (!cell) {
            Log::format("Table data source gave no cell for row %s; an empty one is shown", ip.description().c_str());
            cell = std::make_shared<TableViewCell>();
        }
        if (cell->superview() && cell->superview().get() != this)
            cell->removeFromSuperview();
        // A cell handed out for a second row at once moves there.
        for (auto it = m_visible.begin(); it != m_visible.end(); ++it) {
            if (it->second == cell) {
                m_visible.erase(it);
                break;
            }
        }
        cell->setFrame(rowRect);
        cell->setSelected(m_selected && *m_selected == ip);
        if (cell->superview().get() != this)
            addSubview(cell);
        m_visible[ip] = cell;
        if (d)
            d->willDisplayCell(*this, *cell, ip);
    }

    // Cells lie under everything else, in row order (so the dump reads top to bottom).
    for (auto it = m_visible.rbegin(); it != m_visible.rend(); ++it)
        sendSubviewToBack(it->second);

    placeSupplementary(m_headers, true, visible);
    placeSupplementary(m_footers, false, visible);
    m_updating = false;
    if (m_reloadWanted) {
        m_reloadWanted = false;
        reloadData();
    }
}

std::shared_ptr<View> TableView::headerOrFooterView(int section, bool header)
{
    auto d = delegate();
    if (!d)
        return nullptr;
    return header ? d->viewForHeaderInSection(*this, section) : d->viewForFooterInSection(*this, section);
}

void TableView::placeSupplementary(std::map<int, std::shared_ptr<View>>& shown, bool header, const Rect& visible)
{
    for (size_t s = 0; s < m_sections.size(); ++s) {
        int section = static_cast<int>(s);
        const Section& sec = m_sections[s];
        double y = header ? sec.headerY : sec.footerY;
        double h = header ? sec.headerHeight : sec.footerHeight;
        bool inView = h > 0 && y + h > visible.y() && y < visible.maxY();
        auto it = shown.find(section);
        if (!inView) {
            if (it != shown.end()) {
                if (it->second->superview().get() == this)
                    it->second->removeFromSuperview();
                shown.erase(it);
            }
            continue;
        }
        std::shared_ptr<View> view;
        if (it != shown.end()) {
            view = it->second;
        } else {
            view = headerOrFooterView(section, header);
            if (!view)
                continue;
            shown[section] = view;
        }
        view->setFrame({ 0, y, visible.width(), h });
        if (view->superview().get() != this)
            addSubview(view);
    }
}

// --- selection ---

void TableView::selectRowAtIndexPath(const IndexPath& ip, bool animated, TableViewScrollPosition position)
{
    ensureGeometry();
    if (!validIndexPath(ip))
        return;
    if (m_selected && *m_selected != ip)
        if (auto old = cellForRowAtIndexPath(*m_selected))
            old->setSelected(false, animated);
    m_selected = ip;
    if (auto cell = cellForRowAtIndexPath(ip))
        cell->setSelected(true, animated);
    if (position != TableViewScrollPosition::None)
        scrollToRowAtIndexPath(ip, position, animated);
}

void TableView::deselectRowAtIndexPath(const IndexPath& ip, bool animated)
{
    if (auto cell = cellForRowAtIndexPath(ip))
        cell->setSelected(false, animated);
    if (m_selected && *m_selected == ip)
        m_selected.reset();
}

// --- touches ---

void TableView::touchesBegan(const Touch& touch)
{
    m_touchedRow.reset();
    if (!m_allowsSelection || isDecelerating())
        return;
    auto ip = indexPathForRowAtPoint(touch.locationInView(this));
    if (!ip)
        return;
    auto cell = cellForRowAtIndexPath(*ip);
    if (!cell || !cell->isUserInteractionEnabled())
        return;
    m_touchedRow = ip;
    cell->setHighlighted(true);
}

void TableView::touchesMoved(const Touch& touch)
{
    if (!m_touchedRow)
        return;
    auto ip = indexPathForRowAtPoint(touch.locationInView(this));
    if (ip != m_touchedRow) {
        if (auto cell = cellForRowAtIndexPath(*m_touchedRow))
            cell->setHighlighted(false);
        m_touchedRow.reset();
    }
}

void TableView::touchesEnded(const Touch& touch)
{
    if (!m_touchedRow)
        return;
    auto self = sharedView();
    IndexPath ip = *m_touchedRow;
    m_touchedRow.reset();
    auto cell = cellForRowAtIndexPath(ip);
    if (cell)
        cell->setHighlighted(false);
    auto d = delegate();
    if (m_selected && *m_selected != ip) {
        IndexPath old = *m_selected;
        deselectRowAtIndexPath(old, false);
        if (d)
            d->didDeselectRowAtIndexPath(*this, old);
    }
    m_selected = ip;
    if (cell)
        cell->setSelected(true);
    if (d)
        d->didSelectRowAtIndexPath(*this, ip);
}

void TableView::touchesCancelled(const Touch& touch)
{
    if (!m_touchedRow)
        return;
    if (auto cell = cellForRowAtIndexPath(*m_touchedRow))
        cell->setHighlighted(false);
    m_touchedRow.reset();
}

// --- layout ---

void TableView::layoutSubviews()
{
    updateVisibleCells();
}

void TableView::didMoveToWindow()
{
    if (window())
        setNeedsLayout();
}

void TableView::contentOffsetDidChange()
{
    if (m_loaded)
        updateVisibleCells();
}

void TableView::boundsSizeDidChange(Size oldSize)
{
    ScrollView::boundsSizeDidChange(oldSize);
    m_geometryValid = false;
    if (m_loaded)
        updateVisibleCells();
}

void TableView::dumpAttributes(DumpAttributes& attributes) const
{
    if (m_style == TableViewStyle::Grouped)
        attributes.flag("grouped");
    if (m_separatorStyle == TableViewSeparatorStyle::None)
        attributes.value("separators", "none");
    ScrollView::dumpAttributes(attributes);
}

}
