// What other apps and pages hand the LM Connect web sign-in and dialogs: reply addresses of the
// LM browsers (their fragment or query read as the sign-in's parameters, "cb" checked as a
// script name), answer queries of the dialog page, and nick names from user-info replies. The
// input is "ADDRESS\nTEXT".
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/TextEncoding.h"
#include "platform/foundation/Url.h"
#include "sdk/lmconnect/dialogs/MorrowDialogs.h"
#include "sdk/lmconnect/dialogs/SetHeadImageViewController.h"
#include "sdk/lmconnect/web/MRLoginViewKit.h"
#include "sdk/lmconnect/web/URLExtend.h"

#include <cctype>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    fuzz::FuzzInput input(data, size);
    std::string address(input.takeUntil('\n'));
    std::string text(input.rest());

    // A kit waiting for no browser takes no reply, whatever it says.
    auto kit = MRLoginViewKit::initWithAppId("100481327", std::string("auth://www.morrow.lm/back"), {}, {});
    if (auto url = pf::Url::fromString(address)) {
        if (kit->handleOpenURL(*url))
            std::abort();
        auto params = MRLoginViewKit::parseURLParams(url->fragment() ? url->fragment() : url->query());
        if (params) {
            if (const pf::Value* cb = params->find("cb"); cb && cb->asString() && MRLoginViewKit::isScriptName(*cb->asString())) {
                for (char c : *cb->asString())
                    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '$' && c != '.')
                        std::abort();
            }
        }
        MorrowDialogs::queryDictionary(url->query());
    }
    URLExtend::dictionaryByParseUrlFromSeparator(address, "#");
    URLExtend::stringByEncodeUrl(text);

    // A cut nick of valid text stays valid text: no character is split.
    if (pf::TextEncoding::isValidUtf8(text)) {
        auto cut = SetHeadImageViewController::stringByMROSDKTruncateWithDotAtLimit(24, text);
        if (!cut || !pf::TextEncoding::isValidUtf8(*cut))
            std::abort();
    }
    return 0;
}
