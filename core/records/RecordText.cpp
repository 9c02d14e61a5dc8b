#include "core/records/RecordText.h"

RecordText RecordText::null()
{
    RecordText t;
    t.m_state = State::Null;
    return t;
}

RecordText RecordText::fromJson(const pf::Value& value)
{
    switch (value.type()) {
    case pf::Value::Type::String:
        return RecordText(*value.asString());
    case pf::Value::Type::Null:
        return null();
    case pf::Value::Type::Integer:
    case pf::Value::Type::Real:
    case pf::Value::Type::Bool:
        return RecordText(value.stringValue());
    default:
        return RecordText();
    }
}

std::string RecordText::formatted() const
{
    switch (m_state) {
    case State::Absent: return "(null)";
    case State::Null: return "<null>";
    case State::Text: break;
    }
    return m_text;
}

pf::Value RecordText::toValue() const
{
    switch (m_state) {
    case State::Absent: return pf::Value();
    case State::Null: return pf::Value::null();
    case State::Text: break;
    }
    return pf::Value(m_text);
}
