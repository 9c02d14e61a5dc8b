#pragma once

#include "platform/foundation/UrlError.h"
#include "platform/foundation/UrlRequest.h"
#include "platform/web/WebViewDelegate.h"

#include <optional>

class MRWebViewKit;

// What a web window tells its owner; every operation is optional.
//
// - `webViewKitDidFinishedWithError`: the window closed, with the page's last load error (none
//   when no load failed).
// - Load errors arrive sorted: a cancelled load (-999) is a content error; everything else but
//   an interrupted frame load is a network error.
// - `webViewKitShouldStartLoadWithRequest` is asked about every load but the kit's own calls;
//   the load goes on when the owner does not answer.
class MRWebViewKitDelegate {
public:
    virtual ~MRWebViewKitDelegate() = default;
    virtual void webViewKitDidFinishedWithError(MRWebViewKit&, const std::optional<pf::UrlError>&) { }
    virtual void webViewKitDidLoadWithContentError(MRWebViewKit&, const pf::UrlError&) { }
    virtual void webViewKitDidLoadWithNetworkError(MRWebViewKit&, const pf::UrlError&) { }
    virtual bool webViewKitShouldStartLoadWithRequest(MRWebViewKit&, const pf::UrlRequest&, pf::WebNavigationType) { return true; }
    virtual bool webViewKitShouldAutorotateToInterfaceOrientation(MRWebViewKit&, int) { return true; }
};
