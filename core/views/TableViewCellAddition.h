#pragma once

#include "core/views/ViewAddition.h"
#include "core/views/WrongNibFormat.h"
#include "platform/ui/Nib.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

// Gets table cells from the layout named after their class, reusing the table's free cells.
// Every list of the application asks for its cells with `dequeOrCreateInTable<CellClass>(table)`:
// the reuse identifier and the layout name are both the class name, and the layout's first
// top-level object of that class is the cell.
//
// Rules:
// - A layout without a cell of the class raises WrongNibFormat (a broken bundle, not caught);
//   an unknown layout name raises the platform's NibError.
// - A free cell of another class under the same identifier is not handed out as this class;
//   a new one is loaded instead.
class TableViewCellAddition {
public:
    template <class T>
    static std::string cellID() { return ViewAddition::classNameOf(typeid(T)); }
    template <class T>
    static std::string nibName() { return ViewAddition::classNameOf(typeid(T)); }

    template <class T>
    static std::shared_ptr<T> loadCellOfType(const std::string& nibName, const std::string& identifier)
    {
        auto cell = pf::Nib::instantiate(nibName).template firstOfType<T>();
        if (!cell)
            throw WrongNibFormat(wrongFormatReason(nibName, cellID<T>()));
        cell->setReuseIdentifier(identifier);
        return cell;
    }

    template <class T>
    static std::shared_ptr<T> dequeOrCreateInTable(pf::TableView& table, const std::string& nibName, const std::string& identifier)
    {
        if (auto reused = std::dynamic_pointer_cast<T>(table.dequeueReusableCellWithIdentifier(identifier)))
            return reused;
        return loadCellOfType<T>(nibName, identifier);
    }

    template <class T>
    static std::shared_ptr<T> dequeOrCreateInTable(pf::TableView& table)
    {
        return dequeOrCreateInTable<T>(table, nibName<T>(), cellID<T>());
    }

    template <class T>
    static std::shared_ptr<T> loadFromNib() { return loadCellOfType<T>(nibName<T>(), cellID<T>()); }
    // With the flag off the cell gets the empty identifier, so it never goes to a reuse queue.
    template <class T>
    static std::shared_ptr<T> loadFromNibWithReuseFlag(bool reusable)
    {
        return loadCellOfType<T>(nibName<T>(), reusable ? cellID<T>() : std::string());
    }

    // The table's free cell for `identifier`, else a new plain cell of `style`.
    static std::shared_ptr<pf::TableViewCell> dequeOrCreateInTable(pf::TableView& table, const std::string& identifier,
        pf::TableViewCellStyle style);

    static std::string wrongFormatReason(const std::string& nibName, const std::string& className);
};
