#pragma once

#include "platform/foundation/Value.h"

#include <string>

// Reads one of the app's property lists from the main bundle, for the configuration records:
// a missing list or key reads as empty.
class BundlePropertyListReader {
public:
    explicit BundlePropertyListReader(const std::string& name);

    // The text under `key`; empty when missing or not a text.
    std::string text(const char* key) const;
    bool boolean(const char* key) const { return m_list[key].boolValue(); }

private:
    pf::Value m_list;
};
