#pragma once

#include "platform/ui/IndexPath.h"

#include <memory>

namespace pf {

class TableView;
class TableViewCell;

// Gives a table its sections, rows and cells.
class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfSectionsInTableView(TableView& tableView) { return 1; }
    virtual int numberOfRowsInSection(TableView& tableView, int section) = 0;
    // A cell for the row: dequeued from the table by identifier, or new.
    virtual std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) = 0;
};

}
