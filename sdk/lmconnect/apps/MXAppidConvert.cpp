#include "sdk/lmconnect/apps/MXAppidConvert.h"

#include <cstdio>

namespace {

// (mobile LM app number, LM Connect app id); the apps whose two numbers differ.
constexpr std::pair<std::uint32_t, std::uint32_t> kAppIdTable[] = {
    { 0x25397024u, 100393032u },
    { 0x8990AC34u, 100393033u },
    { 0x6BF159C6u, 100383649u },
    { 0x17E59D9Fu, 201293u },
    { 0x4142A106u, 100393105u },
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::uint32_t> connectionNumber(std::string_view text)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + std::uint64_t(c - '0');
    }
    if (value > 0xFFFFFFFFull)
        return std::nullopt;
    return std::uint32_t(value);
}

std::optional<std::uint32_t> mlmNumber(std::string_view text)
{
    if (text.size() != 10 || text.substr(0, 2) != "LM")
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text.substr(2)) {
        int digit = hexValue(c);
        if (digit < 0)
            return std::nullopt;
        value = (value << 4) | std::uint32_t(digit);
    }
    return value;
}

}

bool MXAppidConvert::InitWithAppId(std::string_view appId)
{
    m_connection.reset();
    m_mlm = 0;
    if (auto connection = connectionNumber(appId)) {
        std::uint32_t mlm = *connection;
        for (const auto& [m, c] : kAppIdTable) {
            if (c == *connection) {
                mlm = m;
                break;
            }
        }
        m_connection = *connection;
        m_mlm = mlm;
        return true;
    }
    if (auto mlm = mlmNumber(appId)) {
        std::uint32_t connection = *mlm;
        for (const auto& [m, c] : kAppIdTable) {
            if (m == *mlm) {
                connection = c;
                break;
            }
        }
        m_connection = connection;
        m_mlm = *mlm;
        return true;
    }
    return false;
}

std::optional<std::string> MXAppidConvert::GetConnectionAppId() const
{
    if (!m_connection)
        return std::nullopt;
    return std::to_string(*m_connection);
}

std::optional<std::string> MXAppidConvert::GetMLMAppId() const
{
    if (!m_connection)
        return std::nullopt;
    char text[16];
    std::snprintf(text, sizeof text, "LM%08X", unsigned(m_mlm));
    return std::string(text);
}

std::optional<std::string> MXAppidConvert::convertAppId(std::string_view appId)
{
    MXAppidConvert converter;
    if (!converter.InitWithAppId(appId))
        return std::nullopt;
    return converter.GetConnectionAppId();
}
