#pragma once

#include "platform/ui/IndexPath.h"
#include "platform/ui/ScrollView.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {

class TableViewCell;
class TableViewDataSource;
class TableViewDelegate;

enum class TableViewStyle { Plain, Grouped };
enum class TableViewSeparatorStyle { None, SingleLine };
enum class TableViewScrollPosition { None, Top, Middle, Bottom };

// A scroll view of rows in sections, filled by a data source.
//
// Rules:
// - Layout from the top: the table header view, then per section its header, rows and footer,
//   then the table footer view. Row heights come from the delegate (or `rowHeight`); header and
//   footer heights too, and when the delegate leaves them automatic: 22 with a view and 0
//   without in the plain style, 22 with a view and 10 without in the grouped one.
// - Only rows that intersect the visible area have cells; they are asked for when they come
//   into view (`reloadData`, scrolling, resizing, the first layout) and filed in the reuse
//   queue by identifier when they leave it.
// - `reloadData` asks everything again, files every cell for reuse and clears the selection.
// - A tap on a row highlights and selects it (the previous selection is deselected with a
//   report) and reports didSelect; selecting or deselecting in code reports nothing.
class TableView : public ScrollView {
public:
    explicit TableView(const Rect& frame = {}, TableViewStyle style = TableViewStyle::Plain);
    ~TableView() override;

    TableViewStyle style() const { return m_style; }

    std::shared_ptr<TableViewDataSource> dataSource() const { return m_dataSource.lock(); }
    void setDataSource(std::weak_ptr<TableViewDataSource> dataSource);
    std::shared_ptr<TableViewDelegate> delegate() const { return m_delegate.lock(); }
    // Also the scroll view's delegate.
    void setDelegate(std::weak_ptr<TableViewDelegate> delegate);

    double rowHeight() const { return m_rowHeight; }
    void setRowHeight(double height);
    double sectionHeaderHeight() const { return m_sectionHeaderHeight; }
    void setSectionHeaderHeight(double height);
    double sectionFooterHeight() const { return m_sectionFooterHeight; }
    void setSectionFooterHeight(double height);

    std::shared_ptr<View> tableHeaderView() const { return m_tableHeaderView; }
    void setTableHeaderView(std::shared_ptr<View> view);
    std::shared_ptr<View> tableFooterView() const { return m_tableFooterView; }
    void setTableFooterView(std::shared_ptr<View> view);

    TableViewSeparatorStyle separatorStyle() const { return m_separatorStyle; }
    void setSeparatorStyle(TableViewSeparatorStyle style) { m_separatorStyle = style; }
    bool allowsSelection() const { return m_allowsSelection; }
    void setAllowsSelection(bool on) { m_allowsSelection = on; }

    // --- data ---
    void reloadData();
    int numberOfSections();
    int numberOfRowsInSection(int section);

    // --- cells ---
    std::shared_ptr<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    size_t reusableCellCount(const std::string& identifier) const;
    // The cell shown for the row, or null when the row is not visible.
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(const IndexPath& indexPath);
    std::vector<std::shared_ptr<TableViewCell>> visibleCells();
    std::vector<IndexPath> indexPathsForVisibleRows();
    std::optional<IndexPath> indexPathForCell(const TableViewCell& cell) const;

    // --- geometry (content coordinates) ---
    Rect rectForRowAtIndexPath(const IndexPath& indexPath);
    Rect rectForHeaderInSection(int section);
    Rect rectForFooterInSection(int section);
    std::optional<IndexPath> indexPathForRowAtPoint(Point point);
    void scrollToRowAtIndexPath(const IndexPath& indexPath, TableViewScrollPosition position, bool animated);

    // --- selection ---
    std::optional<IndexPath> indexPathForSelectedRow() const { return m_selected; }
    void selectRowAtIndexPath(const IndexPath& indexPath, bool animated, TableViewScrollPosition position = TableViewScrollPosition::None);
    void deselectRowAtIndexPath(const IndexPath& indexPath, bool animated);

    void layoutSubviews() override;
    void didMoveToWindow() override;
    void touchesBegan(const Touch& touch) override;
    void touchesMoved(const Touch& touch) override;
    void touchesEnded(const Touch& touch) override;
    void touchesCancelled(const Touch& touch) override;
    void dumpAttributes(DumpAttributes& attributes) const override;

protected:
    void contentOffsetDidChange() override;
    void boundsSizeDidChange(Size oldSize) override;

private:
    struct Section {
        double headerY { 0 }, headerHeight { 0 };
        std::vector<double> rowY, rowHeight;
        double footerY { 0 }, footerHeight { 0 };
    };

    void ensureGeometry();
    void computeGeometry();
    void updateVisibleCells();
    void enqueue(const std::shared_ptr<TableViewCell>& cell);
    std::shared_ptr<View> headerOrFooterView(int section, bool header);
    void placeSupplementary(std::map<int, std::shared_ptr<View>>& shown, bool header, const Rect& visible);
    bool validIndexPath(const IndexPath& indexPath) const;

    TableViewStyle m_style;
    std::weak_ptr<TableViewDataSource> m_dataSource;
    std::weak_ptr<TableViewDelegate> m_delegate;
    double m_rowHeight { 44 };
    double m_sectionHeaderHeight { 22 };
    double m_sectionFooterHeight { 22 };
    std::shared_ptr<View> m_tableHeaderView;
    std::shared_ptr<View> m_tableFooterView;
    TableViewSeparatorStyle m_separatorStyle { TableViewSeparatorStyle::SingleLine };
    bool m_allowsSelection { true };

    bool m_loaded { false };
    bool m_geometryValid { false };
    bool m_updating { false };
    bool m_reloadWanted { false };
    std::vector<Section> m_sections;
    std::map<IndexPath, std::shared_ptr<TableViewCell>> m_visible;
    std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> m_reuse;
    std::map<int, std::shared_ptr<View>> m_headers;
    std::map<int, std::shared_ptr<View>> m_footers;
    std::optional<IndexPath> m_selected;
    std::optional<IndexPath> m_touchedRow;
};

}
