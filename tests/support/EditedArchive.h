#pragma once

#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Value.h"

#include <gtest/gtest.h>

#include <functional>

namespace testsupport {

// A keyed archive with its property list's object table changed by `edit`, given the root's
// index: how a test makes the damaged, foreign or newer archives the app never writes itself.
inline pf::Bytes editedArchive(const pf::Bytes& archive, const std::function<void(pf::Array& objects, size_t root)>& edit)
{
    auto plist = pf::PropertyList::parse(archive);
    EXPECT_TRUE(plist);
    if (!plist)
        return {};
    pf::Value& objects = *plist->mutableDictionary()->find("$objects");
    edit(*objects.mutableArray(), size_t((*plist)["$top"]["root"]["CF$UID"].longValue()));
    return pf::PropertyList::write(*plist, pf::PropertyList::Format::Binary).value_or(pf::Bytes {});
}

// An archive of a list (KeyedArchiver::archivedData(list)) with one more item at the end of the
// list: the entry that `entry` makes, given the object table and the list's index.
inline pf::Bytes withListEntry(const pf::Bytes& listArchive, const std::function<pf::Value(const pf::Array& objects, size_t list)>& entry)
{
    return editedArchive(listArchive, [&](pf::Array& objects, size_t list) {
        objects.push_back(entry(objects, list));
        objects[list].mutableDictionary()->find("items")->mutableArray()->push_back(
            pf::Dictionary { { "CF$UID", static_cast<long long>(objects.size() - 1) } });
    });
}

// The index in the object table that a reference of the archive points at.
inline size_t referenceIndex(const pf::Value& reference) { return size_t(reference["CF$UID"].longValue()); }

}
