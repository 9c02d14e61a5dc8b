#include "platform/ui/TextField.h"

#include "platform/ui/DumpAttributes.h"
#include "platform/ui/Touch.h"

namespace pf {

namespace {
    // Byte length of the UTF-8 sequence starting with `lead` (1 for stray bytes).
    size_t sequenceLength(unsigned char lead)
    {
        if (lead < 0x80)
            return 1;
        if ((lead >> 5) == 0x6)
            return 2;
        if ((lead >> 4) == 0xE)
            return 3;
        if ((lead >> 3) == 0x1E)
            return 4;
        return 1;
    }
}

TextField::TextField() = default;

TextField::TextField(const Rect& frame)
    : Control(frame)
{
}

size_t TextField::utf16Length(const std::string& text)
{
    size_t units = 0;
    for (size_t i = 0; i < text.size();) {
        size_t n = sequenceLength(static_cast<unsigned char>(text[i]));
        units += n == 4 ? 2 : 1;
        i += n;
    }
    return units;
}

bool TextField::canBecomeFirstResponder() const
{
    return isEnabled();
}

bool TextField::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    // Only a field on screen can take the keyboard.
    if (!canBecomeFirstResponder() || !window())
        return false;
    auto self = std::static_pointer_cast<TextField>(sharedView());
    if (auto d = delegate(); d && !d->textFieldShouldBeginEditing(*this))
        return false;
    if (!Responder::becomeFirstResponder())
        return false;
    m_editing = true;
    if (auto d = delegate())
        d->textFieldDidBeginEditing(*this);
    sendActionsForControlEvents(ControlEvent::EditingDidBegin);
    return true;
}

bool TextField::resignFirstResponder()
{
    if (!isFirstResponder())
        return true;
    auto self = std::static_pointer_cast<TextField>(sharedView());
    if (auto d = delegate(); d && !d->textFieldShouldEndEditing(*this))
        return false;
    Responder::resignFirstResponder();
    m_editing = false;
    if (auto d = delegate())
        d->textFieldDidEndEditing(*this);
    sendActionsForControlEvents(ControlEvent::EditingDidEnd);
    return true;
}

bool TextField::insertText(const std::string& text)
{
    if (!m_editing || text.empty())
        return false;
    auto self = sharedView();
    TextRange range { utf16Length(m_text), 0 };
    if (auto d = delegate(); d && !d->textFieldShouldChangeCharacters(*this, range, text))
        return false;
    m_text += text;
    sendActionsForControlEvents(ControlEvent::EditingChanged);
    return true;
}

bool TextField::deleteBackward()
{
    if (!m_editing || m_text.empty())
        return false;
    auto self = sharedView();
    // Back to the start of the last character.
    size_t start = m_text.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(m_text[start]) & 0xC0) == 0x80)
        --start;
    std::string last = m_text.substr(start);
    size_t units = utf16Length(last);
    TextRange range { utf16Length(m_text) - units, units };
    if (auto d = delegate(); d && !d->textFieldShouldChangeCharacters(*this, range, ""))
        return false;
    m_text.erase(start);
    sendActionsForControlEvents(ControlEvent::EditingChanged);
    return true;
}

void TextField::pressReturn()
{
    if (!m_editing)
        return;
    auto self = sharedView();
    if (auto d = delegate(); d && !d->textFieldShouldReturn(*this))
        return;
    bool listened = !actionsForEvent(ControlEvent::EditingDidEndOnExit).empty();
    sendActionsForControlEvents(ControlEvent::EditingDidEndOnExit);
    if (listened)
        resignFirstResponder();
}

void TextField::touchesEnded(const Touch& touch)
{
    bool tracking = isTracking();
    Control::touchesEnded(touch);
    if (tracking && isEnabled() && pointInside(touch.locationInView(this)))
        becomeFirstResponder();
}

void TextField::dumpAttributes(DumpAttributes& attributes) const
{
    if (!m_text.empty()) {
        if (m_secure) {
            std::string bullets;
            for (size_t i = 0; i < utf16Length(m_text); ++i)
                bullets += "\u2022";
            attributes.text("text", bullets);
        } else {
            attributes.text("text", m_text);
        }
    } else if (!m_placeholder.empty()) {
        attributes.text("placeholder", m_placeholder);
    }
    if (m_secure)
        attributes.flag("secure");
    if (m_editing)
        attributes.flag("editing");
    Control::dumpAttributes(attributes);
}

}
