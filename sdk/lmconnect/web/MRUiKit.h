#pragma once

#include "sdk/lmconnect/web/MRWebViewKitDelegate.h"

#include <memory>
#include <optional>
#include <string>

class MRWebViewController;
class MRWebViewKit;

// Holds one web window for an app id and opens pages in it: a new page reuses the held window.
class MRUiKit {
public:
    explicit MRUiKit(std::string appId) : m_appId(std::move(appId)) { }

    bool popWebViewWnd(std::string url, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewKitDelegate> delegate);
    // Drops the held window (closing it) and gives a new one's page controller.
    std::shared_ptr<MRWebViewController> getWebViewController(std::string url, std::optional<std::string> webTitle,
        std::weak_ptr<MRWebViewKitDelegate> delegate);

    const std::string& appId() const { return m_appId; }
    const std::shared_ptr<MRWebViewKit>& webViewKit() const { return m_webViewKit; }

private:
    std::string m_appId;
    std::shared_ptr<MRWebViewKit> m_webViewKit;
};
