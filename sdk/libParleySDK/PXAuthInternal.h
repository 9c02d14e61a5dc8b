#pragma once

#include <optional>
#include <string>

namespace parley {

// An authorisation asked for by Parley: what it wants and the state it wants back.
class PXAuthInternal {
public:
    std::optional<std::string> scope;
    std::optional<std::string> state;
};

}
