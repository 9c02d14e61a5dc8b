#pragma once

#include "platform/graphics/Font.h"
#include "platform/ui/Control.h"
#include "platform/ui/TextAlignment.h"
#include "platform/ui/TextFieldDelegate.h"

#include <memory>
#include <string>

namespace pf {

enum class ReturnKeyType { Default, Go, Next, Search, Send, Done, Join };
enum class KeyboardType { Default, ASCIICapable, NumberPad, PhonePad, EmailAddress, URL };
enum class TextBorderStyle { None, Line, Bezel, RoundedRect };

// One line of editable text.
//
// Rules:
// - Setting `text` in code sends no event and asks no delegate.
// - Editing begins when the field becomes first responder (a tap, or in code) and the delegate
//   agrees: didBegin, then EditingDidBegin. It ends when it resigns and the delegate agrees:
//   didEnd, then EditingDidEnd.
// - The keyboard (`insertText`, `deleteBackward`, `pressReturn`) works only while editing. Each
//   change asks should-change with the range in UTF-16 units; an accepted change updates the
//   text and sends EditingChanged. Return asks should-return; when it agrees,
//   EditingDidEndOnExit is sent and, when something listens to it, the field resigns.
// - A secure field shows one bullet per character in the dump.
class TextField : public Control {
public:
    TextField();
    explicit TextField(const Rect& frame);

    const std::string& text() const { return m_text; }
    void setText(const std::string& text) { m_text = text; }
    const std::string& placeholder() const { return m_placeholder; }
    void setPlaceholder(const std::string& placeholder) { m_placeholder = placeholder; }
    Color textColor() const { return m_textColor; }
    void setTextColor(const Color& color) { m_textColor = color; }
    Font font() const { return m_font; }
    void setFont(const Font& font) { m_font = font; }
    TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(TextAlignment alignment) { m_alignment = alignment; }
    bool isSecureTextEntry() const { return m_secure; }
    void setSecureTextEntry(bool secure) { m_secure = secure; }
    ReturnKeyType returnKeyType() const { return m_returnKey; }
    void setReturnKeyType(ReturnKeyType type) { m_returnKey = type; }
    KeyboardType keyboardType() const { return m_keyboard; }
    void setKeyboardType(KeyboardType type) { m_keyboard = type; }
    TextBorderStyle borderStyle() const { return m_border; }
    void setBorderStyle(TextBorderStyle style) { m_border = style; }
    bool isEditing() const { return m_editing; }

    std::shared_ptr<TextFieldDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<TextFieldDelegate> delegate) { m_delegate = std::move(delegate); }

    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    // --- the keyboard ---
    // Types `text` at the end; returns whether it was accepted.
    bool insertText(const std::string& text);
    // Deletes the last character; returns whether something was deleted.
    bool deleteBackward();
    void pressReturn();

    void touchesEnded(const Touch& touch) override;
    void dumpAttributes(DumpAttributes& attributes) const override;

    // Length of a UTF-8 text in UTF-16 units.
    static size_t utf16Length(const std::string& text);

private:
    std::string m_text;
    std::string m_placeholder;
    Color m_textColor { Color::black() };
    Font m_font { Font::system(17) };
    TextAlignment m_alignment { TextAlignment::Left };
    bool m_secure { false };
    ReturnKeyType m_returnKey { ReturnKeyType::Default };
    KeyboardType m_keyboard { KeyboardType::Default };
    TextBorderStyle m_border { TextBorderStyle::None };
    bool m_editing { false };
    std::weak_ptr<TextFieldDelegate> m_delegate;
};

}
