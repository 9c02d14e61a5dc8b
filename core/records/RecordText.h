#pragma once

#include "platform/foundation/Value.h"

#include <string>

// A text field of a portal record, kept as the reply gave it.
//
// Rules:
// - Three states: absent (the key was missing), null (the portal sent JSON null) and text.
//   Null stays distinct from absent because some screens test a field for null.
// - Read from JSON by `fromJson`: a string is kept unchanged; a number or a boolean (a
//   wrongly typed reply) becomes its decimal text, so a portal that sends 5 for "5" still
//   shows something; a list or an object is treated as absent.
// - `formatted` writes the field the way the platform's "%@" does: "(null)" when absent,
//   "<null>" when null, else the text. The booked-gift store stores that form.
class RecordText {
public:
    enum class State { Absent, Null, Text };

    RecordText() = default;
    RecordText(std::string text) : m_state(State::Text), m_text(std::move(text)) { }
    RecordText(const char* text) : m_state(text ? State::Text : State::Absent), m_text(text ? text : "") { }
    static RecordText null();
    static RecordText fromJson(const pf::Value& value);

    State state() const { return m_state; }
    bool isAbsent() const { return m_state == State::Absent; }
    bool isNull() const { return m_state == State::Null; }
    bool hasText() const { return m_state == State::Text; }

    // The text; empty when absent or null.
    const std::string& text() const { return m_text; }
    std::string formatted() const;
    // Back to a value: missing, null or a string.
    pf::Value toValue() const;

    bool operator==(const RecordText&) const = default;

private:
    State m_state { State::Absent };
    std::string m_text;
};
