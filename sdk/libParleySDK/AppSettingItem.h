#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace pf {
class KeyedArchiver;
class KeyedUnarchiver;
}

namespace parley {

// One app's setting as Parley keeps it, in a keyed archive: its id, the user's open id there,
// flags and whether the user added it.
class AppSettingItem {
public:
    static constexpr const char* kArchiveClassName = "AppSettingItem";

    std::optional<std::string> appID;
    std::optional<std::string> openID;
    std::uint32_t flag { 0 };
    bool appAddedByUser { false };

    void encodeWithCoder(pf::KeyedArchiver& coder) const;
    // Values of another type, or out of range, read as absent (0, NO).
    static std::shared_ptr<AppSettingItem> initWithCoder(pf::KeyedUnarchiver& coder);
};

}
