#pragma once

#include "platform/ui/IndexPath.h"
#include "platform/ui/ScrollViewDelegate.h"

#include <memory>

namespace pf {

class TableView;
class TableViewCell;
class View;

// Sizes, section header and footer views and selection reports of a table; also its scroll
// reports. Every operation is optional. A height of `AutomaticHeight` leaves the choice to the
// table (its row height; for headers and footers, see TableView).
class TableViewDelegate : public ScrollViewDelegate {
public:
    static constexpr double AutomaticHeight = -1;

    virtual double heightForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) { return AutomaticHeight; }
    virtual double heightForHeaderInSection(TableView& tableView, int section) { return AutomaticHeight; }
    virtual double heightForFooterInSection(TableView& tableView, int section) { return AutomaticHeight; }
    virtual std::shared_ptr<View> viewForHeaderInSection(TableView& tableView, int section) { return nullptr; }
    virtual std::shared_ptr<View> viewForFooterInSection(TableView& tableView, int section) { return nullptr; }
    virtual void willDisplayCell(TableView& tableView, TableViewCell& cell, const IndexPath& indexPath) { }
    virtual void didSelectRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) { }
    virtual void didDeselectRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) { }
};

}
