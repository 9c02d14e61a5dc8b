#include "app/VendorApps.h"

#include "platform/foundation/Value.h"
#include "tools/peers/apps/BlipApp.h"
#include "tools/peers/apps/LMApp.h"
#include "tools/peers/apps/LZoneApp.h"
#include "tools/peers/apps/ParleyApp.h"

#include <algorithm>
#include <sstream>

namespace {

// The LM app that reads sign-ins from the general pasteboard, and the newest LZone.
constexpr int kLMVersion = 3;
constexpr int kLZoneVersion = 5;
const std::vector<std::string> kAll { "parley", "blip", "lm", "lzone" };

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out + "\"";
}

std::string describe(const pf::Value& value, int depth = 0)
{
    if (auto text = value.asString())
        return quoted(*text);
    if (auto data = value.asData())
        return "<" + std::to_string(data->size()) + " bytes>";
    if (depth > 4)
        return "...";
    if (auto dictionary = value.asDictionary()) {
        std::vector<std::string> keys;
        for (const auto& [key, item] : *dictionary)
            keys.push_back(key);
        std::sort(keys.begin(), keys.end());
        std::string out = "{";
        for (const auto& key : keys)
            out += (out.size() > 1 ? ", " : "") + key + ": " + describe(*dictionary->find(key), depth + 1);
        return out + "}";
    }
    if (auto array = value.asArray()) {
        std::string out = "[";
        for (const auto& item : *array)
            out += (out.size() > 1 ? ", " : "") + describe(item, depth + 1);
        return out + "]";
    }
    if (value.isNone())
        return "null";
    return value.stringValue();
}

std::string describe(const std::optional<pf::Dictionary>& dictionary)
{
    return dictionary ? describe(pf::Value(*dictionary)) : "none";
}

}

std::optional<std::vector<std::string>> VendorApps::parseList(const std::string& list, std::string* error)
{
    std::vector<std::string> names;
    std::stringstream in(list);
    std::string name;
    while (std::getline(in, name, ',')) {
        if (name == "all") {
            names.insert(names.end(), kAll.begin(), kAll.end());
        } else if (name == "none") {
            continue;
        } else if (name == "parley" || name == "blip" || name == "blip1.0" || name == "lm" || name == "lzone") {
            names.push_back(name);
        } else {
            if (error)
                *error = "--vendor-apps takes parley, blip, blip1.0, lm, lzone, all or none, separated by commas; not \"" + name + "\"";
            return std::nullopt;
        }
    }
    if (std::count(names.begin(), names.end(), "blip") && std::count(names.begin(), names.end(), "blip1.0")) {
        if (error)
            *error = "--vendor-apps: blip and blip1.0 are the same app; pick one";
        return std::nullopt;
    }
    return names;
}

void VendorApps::install(const std::vector<std::string>& names)
{
    for (const auto& name : names) {
        if (name == "parley" && !m_parley) {
            m_parley = peers::ParleyApp::install();
        } else if ((name == "blip" || name == "blip1.0") && !m_blip) {
            m_blipLegacy = name == "blip1.0";
            m_blip = peers::BlipApp::install(m_blipLegacy ? peers::BlipApp::Version::Legacy : peers::BlipApp::Version::Current);
        } else if (name == "lm" && !m_lm) {
            m_lm = peers::LMApp::install(kLMVersion);
            // The stand-in signs the user in as a person would.
            m_lm->setAnswer(peers::LMApp::Answer::Token,
                pf::Dictionary { { "access_token", "lm-access-token" }, { "openid", "lm-open-id" }, { "expires_in", 7776000 } });
        } else if (name == "lzone" && !m_lzone) {
            m_lzone = peers::LZoneApp::install(kLZoneVersion);
        }
    }
}

std::string VendorApps::describeReceived() const
{
    std::string out;
    if (m_parley) {
        auto got = m_parley->received();
        out += "Parley: " + std::to_string(got.size()) + " received\n";
        for (const auto& r : got) {
            out += "  " + (r.action.empty() ? std::string("opened") : r.action) + " " + describe(pf::Value(r.record)) + "\n";
            for (const auto& problem : r.problems)
                out += "    problem: " + problem + "\n";
        }
    }
    if (m_blip) {
        auto got = m_blip->received();
        out += std::string(m_blipLegacy ? "Blip 1.0: " : "Blip: ") + std::to_string(got.size()) + " received\n";
        for (const auto& r : got) {
            out += "  " + r.type + " " + describe(r.object) + " userInfo " + describe(r.userInfo) + "\n";
            for (const auto& problem : r.problems)
                out += "    problem: " + problem + "\n";
        }
    }
    if (m_lm) {
        auto got = m_lm->received();
        out += "LM: " + std::to_string(got.size() + m_lm->shares().size()) + " received\n";
        for (const auto& r : got) {
            out += "  sign-in " + describe(r.request) + "\n";
            for (const auto& problem : r.problems)
                out += "    problem: " + problem + "\n";
        }
        for (const auto& share : m_lm->shares()) {
            pf::Dictionary fields;
            for (const auto& [key, value] : share.fields)
                fields.set(key, value);
            out += "  share " + share.objectType + " " + describe(pf::Value(fields)) + " data " + describe(share.largeData) + "\n";
            for (const auto& problem : share.problems)
                out += "    problem: " + problem + "\n";
        }
    }
    if (m_lzone) {
        auto got = m_lzone->received();
        out += "LZone: " + std::to_string(got.size()) + " received\n";
        for (const auto& r : got)
            out += "  " + r.url + (r.response ? " <" + std::to_string(r.response->size()) + " bytes>" : "") + "\n";
    }
    if (out.empty())
        out = "no stand-in apps are installed\n";
    return out;
}
