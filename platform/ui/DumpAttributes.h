#pragma once

#include <string>
#include <vector>

namespace pf {

// What one line of a screen dump says about a view beyond its class and frame: the texts a
// person would read (quoted), plain values and flags, in the order they were added. Views fill
// it in `View::dumpAttributes`; the driver also finds views by their texts.
class DumpAttributes {
public:
    enum class Kind { Text, Value, Flag };
    struct Item {
        Kind kind;
        std::string key;
        std::string value;
    };

    // A text a person reads: key="value" (quotes and backslashes escaped, newlines as \n).
    void text(std::string key, std::string value);
    // key=value, as given.
    void value(std::string key, std::string value);
    // A bare word ("selected", "disabled").
    void flag(std::string name);

    const std::vector<Item>& items() const { return m_items; }
    std::vector<std::string> texts() const;
    bool hasFlag(const std::string& name) const;
    // The items joined by spaces, as they appear on the dump line.
    std::string format() const;

    // Numbers without trailing zeros: 12, 12.5, 0.33 (two decimals at most).
    static std::string number(double v);

private:
    std::vector<Item> m_items;
};

}
