#pragma once

#include <cstddef>
#include <string>

namespace pf {

class TextField;

// A range of a text in UTF-16 code units, as the platform counts them.
struct TextRange {
    size_t location { 0 };
    size_t length { 0 };
    bool operator==(const TextRange&) const = default;
};

// May refuse editing, changes and the return key of a text field, and hears when editing
// begins and ends. Every operation is optional.
class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(TextField& textField) { return true; }
    virtual void textFieldDidBeginEditing(TextField& textField) { }
    virtual bool textFieldShouldEndEditing(TextField& textField) { return true; }
    virtual void textFieldDidEndEditing(TextField& textField) { }
    // `range` of the current text is to be replaced by `replacement` (typing, deleting).
    virtual bool textFieldShouldChangeCharacters(TextField& textField, TextRange range, const std::string& replacement) { return true; }
    virtual bool textFieldShouldReturn(TextField& textField) { return true; }
};

}
