#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The two forms of a LM app id: the LM Connect id (decimal, "100393032") and the mobile LM id
// ("LM" and eight hexadecimal digits, "LM25397024"). A table pairs the ids of apps whose two
// numbers differ; any other id stands for the same number in both forms.
//
// Rules:
// - A LM Connect id is 1 to 10 decimal digits whose value fits 32 bits; the empty text and
//   larger numbers are refused.
// - A mobile LM id is exactly "LM" and 8 hexadecimal digits of either case.
// - A converter keeps the last conversion it made; a refused one leaves it empty.
class MXAppidConvert {
public:
    // Reads either form; false (and nothing kept) when the text is neither.
    bool InitWithAppId(std::string_view appId);
    // The LM Connect id and the mobile LM id of the last conversion; none when there is none.
    std::optional<std::string> GetConnectionAppId() const;
    std::optional<std::string> GetMLMAppId() const;

    // The LM Connect id of either form; none when the text is neither.
    static std::optional<std::string> convertAppId(std::string_view appId);

private:
    std::optional<std::uint32_t> m_connection;
    std::uint32_t m_mlm { 0 };
};
