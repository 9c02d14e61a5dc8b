#pragma once

#include <map>
#include <memory>
#include <string>

namespace pf {
class Url;
}

// An incoming LM address taken apart: scheme, host, path and the query as key -> value. Each
// query piece splits at its first "="; pieces without one are skipped, values stay escaped as
// they came, and a later key replaces an earlier one.
class LMApiURLDecoder {
public:
    static std::shared_ptr<LMApiURLDecoder> decoderWithUrl(const pf::Url& url);

    std::string scheme;
    std::string host;
    std::string path;
    const std::map<std::string, std::string>& queryItem() const { return m_queryItem; }

private:
    std::map<std::string, std::string> m_queryItem;
};
