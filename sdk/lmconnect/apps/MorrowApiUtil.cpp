#include "sdk/lmconnect/apps/MorrowApiUtil.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Crypto.h"

std::string MorrowApiUtil::md5(std::string_view text) { return pf::Crypto::md5Hex(text); }

std::optional<std::vector<std::string>> MorrowApiUtil::scheme(const std::string& name)
{
    const pf::Array* types = pf::Bundle::main()->objectForInfoDictionaryKey("CFBundleURLTypes").asArray();
    if (!types)
        return std::nullopt;
    for (const auto& type : *types) {
        const pf::Value& typeName = type["CFBundleURLName"];
        if (!typeName.asString() || *typeName.asString() != name)
            continue;
        std::vector<std::string> schemes;
        if (const pf::Array* list = type["CFBundleURLSchemes"].asArray()) {
            for (const auto& scheme : *list) {
                if (scheme.asString())
                    schemes.push_back(*scheme.asString());
            }
        }
        return schemes;
    }
    return std::nullopt;
}

std::string MorrowApiUtil::pasteboardType()
{
    std::string identifier = pf::Bundle::main()->bundleIdentifier();
    return md5(identifier.empty() ? "kMorrowApiPastBoard" : identifier);
}
