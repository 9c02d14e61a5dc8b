#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>

// An object that can wait in the data pool for the scripts: it names its class (the first part
// of its pool keys) and can write itself as a keyed archive (what goes to the pasteboard).
class MorrowPoolObject {
public:
    virtual ~MorrowPoolObject() = default;
    virtual std::string poolClassName() const = 0;
    // None when the object cannot be written.
    virtual std::optional<pf::Bytes> archivedData() const = 0;
};
