#pragma once

#include "platform/foundation/UrlError.h"
#include "platform/foundation/UrlRequest.h"

namespace pf {

class WebView;

// Why a navigation happens.
enum class WebNavigationType { LinkClicked, FormSubmitted, BackForward, Reload, FormResubmitted, Other };

// What a web view tells its owner. Every call comes on the main loop.
//
// - `webViewShouldStartLoadWithRequestNavigationType` is asked synchronously before every
//   main-frame load (the owner's own loads included), every redirect and every frame
//   navigation, with the address exactly as the page wrote it when it has a scheme. Frame
//   navigations are asked during the script call that causes them.
// - Start, then finish or failure, are reported for main-frame loads only.
class WebViewDelegate {
public:
    virtual ~WebViewDelegate() = default;
    virtual bool webViewShouldStartLoadWithRequestNavigationType(WebView& webView, const UrlRequest& request, WebNavigationType type)
    {
        return true;
    }
    virtual void webViewDidStartLoad(WebView& webView) { }
    virtual void webViewDidFinishLoad(WebView& webView) { }
    virtual void webViewDidFailLoadWithError(WebView& webView, const UrlError& error) { }
};

}
