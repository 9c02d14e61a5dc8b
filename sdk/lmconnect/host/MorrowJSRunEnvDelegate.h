#pragma once

#include <string>

// Receives what the run environment does not handle itself: navigations that are no bridge
// calls, and the hidden web view's load events.
class MorrowJSRunEnvDelegate {
public:
    virtual ~MorrowJSRunEnvDelegate() = default;
    virtual bool shouldStartLoadWithRequest(const std::string& url, int navigationType) { return true; }
    virtual void webViewDidStartLoad() { }
    virtual void webViewDidFinishLoad() { }
    virtual void webViewDidFailLoadWithError(const std::string& description) { }
};
