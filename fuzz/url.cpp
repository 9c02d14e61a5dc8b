// URLs the app is handed by others: addresses from portal replies (pictures, downloads) and
// URLs other apps open. The input is "URL\nTEXT": the URL is parsed and read every way the app
// reads one, then opened in the app by each source application the app's delegate routes (and a
// stranger, which must be refused); TEXT is a path component to append, a text to escape and
// unescape and a query to read.
#include "app/QuorvaneAppDelegate.h"
#include "core/ContentFetcher.h"
#include "core/managers/UpdatingCheckManager.h"
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/QueryString.h"
#include "platform/foundation/Url.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    fuzz::FuzzInput input(data, size);
    std::string_view address = input.takeUntil('\n');
    std::string_view text = input.rest();

    if (auto url = pf::Url::fromString(address)) {
        url->path();
        url->pathComponents();
        url->lastPathComponent();
        url->queryItems();
        url->isFileUrl();
        url->appendingPathComponent(text).pathComponents();
        if (auto again = pf::Url::fromString(url->absoluteString()); !again || !(*again == *url))
            std::abort();
        static auto delegate = std::make_shared<QuorvaneAppDelegate>();
        for (const char* source : { "com.morrow.mlm", "com.morrow.lzone", "com.sable.blip" })
            delegate->openURL(pf::Application::shared(), *url, source);
        if (delegate->openURL(pf::Application::shared(), *url, "com.example.stranger"))
            std::abort();
    }
    ContentFetcher::isFetchableAddress(std::string(address));

    // What a component escape gives is a legal URL piece that unescapes to the text itself.
    std::string escaped = pf::Url::escapeComponent(text);
    if (auto back = pf::Url::unescape(escaped); back && *back != text)
        std::abort();
    if (!pf::Url::fromString(UpdatingCheckManager::installAddress(std::string(text))))
        std::abort();
    pf::Url::escape(text);
    pf::Url::unescape(text);
    pf::Url::formDecode(text);

    // TEXT as a query under each reader's rules; read as written, every name and value is a
    // piece of the text.
    using Q = pf::QueryString;
    for (const auto& rules : { Q::Rules {}, Q::Rules { .pieces = Q::Pieces::WithOneEquals, .requireName = true,
                                   .names = Q::Escapes::ResolvedOrSkipped, .values = Q::Escapes::ResolvedOrSkipped },
             Q::Rules { .pieces = Q::Pieces::WithEquals, .valueEndsAtNextEquals = true, .names = Q::Escapes::Kept },
             Q::Rules { .pieces = Q::Pieces::WithEquals, .values = Q::Escapes::ResolvedOrNone } })
        Q::parse(text, rules);
    for (const auto& item : Q::parse(text, { .names = Q::Escapes::Kept, .values = Q::Escapes::Kept })) {
        if (text.find(item.name) == std::string_view::npos || (item.value && text.find(*item.value) == std::string_view::npos))
            std::abort();
    }
    return 0;
}
