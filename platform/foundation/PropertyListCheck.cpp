#include "platform/foundation/PropertyListCheck.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace pf {

namespace {

bool fail(std::string* error, const char* reason)
{
    if (error)
        *error = reason;
    return false;
}

// The outline of one binary property list: its trailer, then a walk over the entries reachable
// from the top one.
class BinaryShape {
public:
    explicit BinaryShape(std::string_view data)
        : m_data(reinterpret_cast<const std::uint8_t*>(data.data())), m_size(data.size()) { }

    // With `nulTexts`, a text holding a NUL character (or, in UTF-16, a surrogate without its
    // partner) is not refused: where it lies is added. With `loneUnits`, a surrogate without its
    // partner is no damage: where the unit lies is added.
    bool check(int maxNesting, std::uint64_t maxNodes, std::string* error, std::vector<std::uint64_t>* nulTexts = nullptr,
        std::vector<std::uint64_t>* loneUnits = nullptr)
    {
        m_nulTexts = nulTexts;
        m_loneUnits = loneUnits;
        if (!readTrailer(error))
            return false;
        // Depth-first walk with memoised heights and sizes. A container's references are read
        // where they lie in the data, and each frame sums its children's measures as they are
        // known, so the walk allocates its table and its path only.
        struct Measure {
            std::uint8_t state { 0 }; // 1 for entries on the path, 2 for entries measured
            int height { 0 };
            std::uint64_t nodes { 0 };
        };
        std::vector<Measure> measured(m_count);
        struct Frame {
            std::uint64_t entry;
            std::uint64_t refs;  // where its references start
            std::uint64_t count; // how many it holds
            std::uint64_t next;
            int height;          // of its highest child so far
            std::uint64_t nodes; // itself and its children so far
        };
        std::vector<Frame> path;
        path.reserve(8); // deeper lists are rare; the path grows for them
        auto add = [&](Frame& frame, const Measure& child) {
            frame.height = std::max(frame.height, child.height);
            frame.nodes = std::min(maxNodes + 1, frame.nodes + child.nodes);
        };
        // Records the measure of the entry of `frame`, all of whose children are measured, and
        // adds it to the frame below.
        auto finish = [&](const Frame& frame) -> bool {
            Measure& done = measured[frame.entry];
            done = Measure { 2, frame.height + 1, frame.nodes };
            if (done.nodes > maxNodes)
                return fail(error, "the property list expands to too many entries");
            if (!path.empty())
                add(path.back(), done);
            return true;
        };
        // An entry met for the first time, one level below the path: a container goes on the
        // path, a leaf (most entries) is measured at once.
        auto enter = [&](std::uint64_t entry) -> bool {
            Frame frame { entry, 0, 0, 0, 0, 1 };
            if (!children(entry, frame.refs, frame.count, error))
                return false;
            if (static_cast<int>(path.size()) + 1 > maxNesting)
                return fail(error, "the property list is nested too deeply");
            if (frame.count == 0)
                return finish(frame);
            measured[entry].state = 1;
            path.push_back(frame);
            return true;
        };
        if (!enter(m_top))
            return false;
        while (!path.empty()) {
            Frame& frame = path.back();
            if (frame.next < frame.count) {
                std::uint64_t child = BinaryPropertyListTrailer::readNumber(m_data + frame.refs + frame.next++ * m_refWidth, m_refWidth);
                const Measure& known = measured[child];
                if (known.state == 1)
                    return fail(error, "the property list contains itself");
                if (known.state == 0) {
                    if (!enter(child))
                        return false;
                    continue;
                }
                // An entry measured on another path nests as deep again below this one.
                if (static_cast<int>(path.size()) + known.height > maxNesting)
                    return fail(error, "the property list is nested too deeply");
                add(frame, known);
                continue;
            }
            const Frame done = frame;
            path.pop_back();
            if (!finish(done))
                return false;
        }
        return true;
    }

    // Makes the text entry at `offset` (one that `check` found holding a NUL) in `data`, a copy
    // of the checked data, into as many bytes 0xFF in one-byte units: a text the library reads
    // whole, and that is no UTF-8.
    void markText(std::uint64_t offset, std::string& data) const
    {
        std::uint8_t marker = m_data[offset];
        std::uint64_t position = offset + 1;
        std::uint64_t count = 0;
        length(marker & 0x0F, position, count, nullptr);
        if ((marker >> 4) == 0x6)
            data[offset] = static_cast<char>(0x50 | (marker & 0x0F));
        std::fill_n(data.begin() + static_cast<std::ptrdiff_t>(position), count, '\xFF');
    }

private:
    bool readTrailer(std::string* error)
    {
        auto trailer = BinaryPropertyListTrailer::read(std::string_view(reinterpret_cast<const char*>(m_data), m_size), error);
        if (!trailer)
            return false;
        m_offsetWidth = trailer->offsetWidth;
        m_refWidth = trailer->refWidth;
        m_count = trailer->count;
        m_top = trailer->top;
        m_tableOffset = trailer->tableOffset;
        return true;
    }

    // The length that follows a marker whose low nibble is `nibble`, at `position` (moved past
    // any extended length).
    bool length(std::uint8_t nibble, std::uint64_t& position, std::uint64_t& count, std::string* error) const
    {
        count = nibble;
        if (count != 0x0F)
            return true;
        if (position >= m_tableOffset || (m_data[position] >> 4) != 0x1 || (m_data[position] & 0x0F) > 3)
            return fail(error, "a property-list entry has a damaged length");
        int width = 1 << (m_data[position] & 0x0F);
        if (position + 1 + width > m_tableOffset)
            return fail(error, "a property-list entry has a damaged length");
        count = BinaryPropertyListTrailer::readNumber(m_data + position + 1, width);
        position += 1 + width;
        return true;
    }

    // Where the references held by `entry` start and how many there are (none for a leaf), each
    // checked to point at an entry; texts are searched for NUL characters.
    bool children(std::uint64_t entry, std::uint64_t& refsAt, std::uint64_t& refs, std::string* error) const
    {
        std::uint64_t offset = BinaryPropertyListTrailer::readNumber(m_data + m_tableOffset + entry * m_offsetWidth, m_offsetWidth);
        if (offset < 8 || offset >= m_tableOffset)
            return fail(error, "a property-list entry lies outside the data");
        std::uint8_t marker = m_data[offset];
        int kind = marker >> 4;
        std::uint64_t position = offset + 1;
        std::uint64_t count = 0;
        if (kind == 0x5 || kind == 0x6 || kind == 0x7) {
            if (!length(marker & 0x0F, position, count, error))
                return false;
            std::uint64_t unit = kind == 0x6 ? 2 : 1;
            if (count > (m_tableOffset - position) / unit)
                return fail(error, "a property-list text runs past the data");
            const std::uint8_t* text = m_data + position;
            bool nul = unit == 1 && std::memchr(text, 0, count) != nullptr;
            // The library drops a surrogate that has no partner without a word, reading another
            // text than the one stored: that is damage too, and marked as a NUL is.
            bool lone = false;
            for (std::uint64_t i = 0; unit == 2 && !nul && !lone && i < count; ++i) {
                nul = text[2 * i] == 0 && text[2 * i + 1] == 0;
                bool high = (text[2 * i] & 0xFC) == 0xD8;
                bool low = (text[2 * i] & 0xFC) == 0xDC;
                if (high && i + 1 < count && (text[2 * i + 2] & 0xFC) == 0xDC)
                    ++i;
                else if ((high || low) && m_loneUnits)
                    m_loneUnits->push_back(position + 2 * i);
                else
                    lone = high || low;
            }
            if (lone && !m_nulTexts)
                return fail(error, "a property-list text holds a surrogate without its partner");
            nul = nul || lone;
            if (nul && !m_nulTexts)
                return fail(error, "a property-list text holds a NUL character");
            if (nul)
                m_nulTexts->push_back(offset);
            return true;
        }
        if (kind != 0xA && kind != 0xC && kind != 0xD)
            return true;
        if (!length(marker & 0x0F, position, count, error))
            return false;
        std::uint64_t held = kind == 0xD ? count * 2 : count;
        if (count > m_tableOffset || held > (m_tableOffset - position) / m_refWidth)
            return fail(error, "a property-list container runs past the data");
        for (std::uint64_t i = 0; i < held; ++i) {
            if (BinaryPropertyListTrailer::readNumber(m_data + position + i * m_refWidth, m_refWidth) >= m_count)
                return fail(error, "a property-list reference points outside the data");
        }
        refsAt = position;
        refs = held;
        return true;
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::vector<std::uint64_t>* m_nulTexts { nullptr };
    std::vector<std::uint64_t>* m_loneUnits { nullptr };
    int m_offsetWidth { 0 };
    int m_refWidth { 0 };
    std::uint64_t m_count { 0 };
    std::uint64_t m_top { 0 };
    std::uint64_t m_tableOffset { 0 };
};

// Where the next character reference to NUL ("&#0;", "&#x00;") at or after `from` starts.
size_t nulReference(std::string_view text, size_t from)
{
    for (size_t i = text.find("&#", from); i != std::string_view::npos; i = text.find("&#", i + 2)) {
        size_t j = i + 2;
        bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
        if (hex)
            ++j;
        size_t digits = j;
        while (j < text.size() && text[j] == '0')
            ++j;
        if (j > digits && j < text.size() && text[j] == ';')
            return i;
    }
    return std::string_view::npos;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool startsWith(std::string_view text, size_t at, std::string_view prefix)
{
    return text.substr(at, prefix.size()) == prefix;
}

// The tag named `name` at `at` ("<array" for the name "<array"): true when the name ends there
// and, for an opening tag, the tag does not close itself right after the name.
bool isTag(std::string_view text, size_t at, std::string_view name, bool opening)
{
    if (!startsWith(text, at, name))
        return false;
    size_t end = at + name.size();
    if (end >= text.size() || text[end] == '>')
        return true;
    if (!isSpace(text[end]) && !(opening && text[end] == '/'))
        return false;
    if (!opening)
        return true;
    while (end < text.size() && isSpace(text[end]))
        ++end;
    return !startsWith(text, end, "/>");
}

bool opensContainer(std::string_view text, size_t at)
{
    return isTag(text, at, "<array", true) || isTag(text, at, "<dict", true);
}

bool closesContainer(std::string_view text, size_t at)
{
    return isTag(text, at, "</array", false) || isTag(text, at, "</dict", false);
}

// Just past the markup starting at `at`: the first '>' outside quotes and outside a bracketed
// part (a declaration's internal subset); the end of the text when there is none.
size_t endOfMarkup(std::string_view text, size_t at)
{
    char quote = 0;
    int brackets = 0;
    for (size_t i = at + 1; i < text.size(); ++i) {
        char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            brackets = std::max(0, brackets - 1);
        } else if (c == '>' && brackets == 0) {
            return i + 1;
        }
    }
    return text.size();
}

size_t endOf(std::string_view text, size_t at, std::string_view terminator)
{
    size_t end = text.find(terminator, at);
    return end == std::string_view::npos ? text.size() : end + terminator.size();
}

// `text` with a byte that no UTF-8 text holds (0xFF) in place of each NUL and of the "&" of each
// reference to one, so the library reads the text holding it whole, as no UTF-8. Only a NUL in
// the text of a <string> or <key> (the last "<" before it opens one) is marked: in other content
// (data, numbers) the byte could be skipped or end the value unseen, so there it is refused.
bool markNulTexts(std::string_view text, std::string& marked)
{
    marked.assign(text);
    size_t open = std::string_view::npos;
    size_t reference = nulReference(text, 0);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '<')
            open = i;
        if (text[i] != '\0' && i != reference)
            continue;
        if (i == reference)
            reference = nulReference(text, i + 2);
        if (open == std::string_view::npos || !(startsWith(text, open, "<string>") || startsWith(text, open, "<key>"))) {
            marked.clear();
            return false;
        }
        marked[i] = '\xFF';
    }
    return true;
}

}

std::optional<BinaryPropertyListTrailer> BinaryPropertyListTrailer::read(std::string_view data, std::string* error)
{
    static const char kMagic[] = "bplist00";
    if (data.size() < 8 + 32 || std::memcmp(data.data(), kMagic, 8) != 0) {
        fail(error, "not a binary property list");
        return std::nullopt;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    const std::uint8_t* end = bytes + data.size() - 32;
    BinaryPropertyListTrailer trailer;
    trailer.offsetWidth = end[6];
    trailer.refWidth = end[7];
    trailer.count = readNumber(end + 8, 8);
    trailer.top = readNumber(end + 16, 8);
    trailer.tableOffset = readNumber(end + 24, 8);
    std::uint64_t tableEnd = data.size() - 32;
    if (trailer.offsetWidth < 1 || trailer.offsetWidth > 8 || trailer.refWidth < 1 || trailer.refWidth > 8
        || trailer.count == 0 || trailer.top >= trailer.count || trailer.tableOffset < 8 || trailer.tableOffset > tableEnd
        || trailer.count > (tableEnd - trailer.tableOffset) / trailer.offsetWidth) {
        fail(error, "the property list's trailer is damaged");
        return std::nullopt;
    }
    return trailer;
}

bool PropertyListCheck::binary(std::string_view data, int maxNesting, std::uint64_t maxNodes, std::string* error, std::string* marked,
    LoneSurrogates lone)
{
    BinaryShape shape(data);
    const bool replace = marked && lone == LoneSurrogates::Replace;
    std::vector<std::uint64_t> nulTexts;
    std::vector<std::uint64_t> loneUnits;
    if (!shape.check(maxNesting, maxNodes, error, marked && !replace ? &nulTexts : nullptr, replace ? &loneUnits : nullptr))
        return false;
    if (!nulTexts.empty() || !loneUnits.empty())
        marked->assign(data);
    for (std::uint64_t offset : nulTexts)
        shape.markText(offset, *marked);
    // U+FFFD, big-endian as the format's UTF-16 is.
    for (std::uint64_t unit : loneUnits) {
        (*marked)[unit] = '\xFF';
        (*marked)[unit + 1] = '\xFD';
    }
    return true;
}

bool PropertyListCheck::xml(std::string_view text, int maxNesting, std::string* error, std::string* marked)
{
    // A raw NUL gets past the library inside a text and cuts a key short unseen.
    bool nul = text.find('\0') != std::string_view::npos || nulReference(text, 0) != std::string_view::npos;
    if (nul && !(marked && markNulTexts(text, *marked)))
        return fail(error, "a property-list text holds a NUL character");
    int depth = 0;
    // Closing tags before `markupFrom` are not markup; opening tags count everywhere, so a
    // region misjudged here can only make the nesting look deeper. Each stretch of markup is
    // scanned once, keeping the scan linear.
    size_t markupFrom = 0;
    for (size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
        if (opensContainer(text, at)) {
            if (++depth > maxNesting)
                return fail(error, "the property list is nested too deeply");
            if (at >= markupFrom)
                markupFrom = endOfMarkup(text, at);
            continue;
        }
        if (at < markupFrom)
            continue;
        if (closesContainer(text, at)) {
            depth = std::max(0, depth - 1);
            markupFrom = endOfMarkup(text, at);
        } else if (startsWith(text, at, "<!--")) {
            markupFrom = endOf(text, at + 4, "-->");
        } else if (startsWith(text, at, "<![CDATA[")) {
            markupFrom = endOf(text, at + 9, "]]>");
        } else if (startsWith(text, at, "<?")) {
            markupFrom = endOf(text, at + 2, "?>");
        } else {
            markupFrom = endOfMarkup(text, at);
        }
    }
    return true;
}

}
