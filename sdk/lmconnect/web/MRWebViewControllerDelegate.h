#pragma once

#include "platform/foundation/UrlError.h"
#include "platform/foundation/UrlRequest.h"
#include "platform/web/WebViewDelegate.h"

#include <optional>

class MRWebViewController;

// What a page controller tells its kit; every operation is optional.
class MRWebViewControllerDelegate {
public:
    virtual ~MRWebViewControllerDelegate() = default;
    // The page closed; `lastError` is its last load error, none when no load failed.
    virtual void webViewControllerDidCloseWithLastError(MRWebViewController&, const std::optional<pf::UrlError>& lastError) { }
    virtual void webViewControllerDidFailLoadWithError(MRWebViewController&, const pf::UrlError&) { }
    virtual bool webViewControllerShouldStartLoadWithRequest(MRWebViewController&, const pf::UrlRequest&, pf::WebNavigationType)
    {
        return true;
    }
    virtual bool webViewControllerShouldAutorotateToInterfaceOrientation(MRWebViewController&, int) { return true; }
};
