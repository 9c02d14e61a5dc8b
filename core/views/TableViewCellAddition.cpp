#include "core/views/TableViewCellAddition.h"

std::shared_ptr<pf::TableViewCell> TableViewCellAddition::dequeOrCreateInTable(pf::TableView& table, const std::string& identifier,
    pf::TableViewCellStyle style)
{
    if (auto reused = table.dequeueReusableCellWithIdentifier(identifier))
        return reused;
    return std::make_shared<pf::TableViewCell>(style, identifier);
}

std::string TableViewCellAddition::wrongFormatReason(const std::string& nibName, const std::string& className)
{
    return "Nib for '" + nibName + "' must contain one TableViewCell, and its class must be '" + className + "'";
}
