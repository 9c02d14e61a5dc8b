#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>

class MorrowJSObject;

// One argument or result of a script-visible native function: a value (text, dictionary, list,
// number, flag; missing for none) or, for argument code 8, a registered object.
struct MorrowBridgeValue {
    pf::Value value;
    std::shared_ptr<MorrowJSObject> object;

    MorrowBridgeValue() = default;
    MorrowBridgeValue(pf::Value v) : value(std::move(v)) { }
    MorrowBridgeValue(const char* text) : value(text) { }
    MorrowBridgeValue(std::string text) : value(std::move(text)) { }
    MorrowBridgeValue(bool flag) : value(flag) { }
    MorrowBridgeValue(int number) : value(number) { }

    // A text argument (code 1): the text, or "" when the script gave none.
    std::string text() const
    {
        const std::string* text = value.asString();
        return text ? *text : std::string();
    }
    // A text result that may be none.
    static MorrowBridgeValue optionalText(const std::optional<std::string>& text)
    {
        return text ? MorrowBridgeValue(*text) : MorrowBridgeValue();
    }
};
