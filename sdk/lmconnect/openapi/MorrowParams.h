#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pf {
class Image;
}

// One parameter value of an LM Connect request: a value (a text above all; data is a file) or
// an image, which is sent as a JPEG file.
struct MorrowParam {
    pf::Value value;
    std::shared_ptr<const pf::Image> image;

    MorrowParam() = default;
    MorrowParam(pf::Value v) : value(std::move(v)) { }
    MorrowParam(const char* text) : value(text) { }
    MorrowParam(std::string text) : value(std::move(text)) { }
    MorrowParam(std::shared_ptr<const pf::Image> picture) : image(std::move(picture)) { }

    // An image or data: a file part of a multipart body, never part of a query or form.
    bool isFile() const { return image != nullptr || value.asData() != nullptr; }
    // The text sent for a value that is not a file: texts as they are, numbers in decimal,
    // containers as JSON, none as an empty text.
    std::string text() const;
    bool operator==(const MorrowParam& other) const { return value == other.value && image == other.image; }
};

// The parameters of a request, in the order they were first set (the order of query pairs and
// body parts). Setting a key again replaces its value in place.
class MorrowParams {
public:
    using Entry = std::pair<std::string, MorrowParam>;

    MorrowParams() = default;
    MorrowParams(std::initializer_list<Entry> entries);

    void set(std::string key, MorrowParam value);
    bool remove(std::string_view key);
    const MorrowParam* find(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    // The value when it is a text; none otherwise.
    std::optional<std::string> textFor(std::string_view key) const;
    size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    std::vector<std::string> keys() const;

    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }

private:
    std::vector<Entry> m_entries;
};
