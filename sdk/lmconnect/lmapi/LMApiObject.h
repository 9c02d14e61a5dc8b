#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A content shared with or received from the LM app. Each kind names its class, which is what
// archives and the share script see ("LMApiNewsObject").
class LMApiObject {
public:
    static constexpr const char* kClassName = "LMApiObject";
    virtual ~LMApiObject() = default;
    virtual std::string_view className() const { return kClassName; }

    std::string title;
    std::string description;
    // Handed to the script as a decimal text.
    std::uint64_t cflag { 0 };
};
