#pragma once

#include "core/NetworkRequestorDelegate.h"

#include <memory>
#include <string>

class BoxUpdatingInfo;
class NetworkRequestor;

namespace pf {
class View;
}

// Asks the portal ("game/verup") whether a newer build exists and, when one is offered, puts a
// small panel on the key window that offers to install it through the platform's install
// address. Silent at start-up; explicit from the side menu, where a user who is up to date is
// told so by a toast.
//
// Rules:
// - Only a reply that is a JSON object with "ret" 0 and a "body" object is an answer. Anything
//   else (not JSON, no "ret", a non-zero "ret", no body) is a failure and shows nothing, in
//   either mode: a failed check never claims the app is up to date. A transport failure shows
//   nothing either.
// - A new check replaces the running one; the late reply of a replaced request is ignored.
// - "status" 1 shows the panel (a panel already up is replaced by the new one); otherwise the
//   explicit check shows the toast "您的应用已经是最新版本了." fading out over kToastDuration.
// - The offered version is shown as text inside the panel's rich-text line: markup in it is
//   escaped, not interpreted.
// - "立刻更新" closes the panel and opens kInstallAddressPrefix followed by the download address
//   percent-escaped as a query value, so "&", "#" or "=" in it stay part of it. No address, no
//   opening. "以后再说" only closes the panel.
class UpdatingCheckManager : public std::enable_shared_from_this<UpdatingCheckManager>, public NetworkRequestorDelegate {
public:
    static constexpr const char* kInstallAddressPrefix = "itms-services://?action=download-manifest&url=";
    static constexpr const char* kLatestVersionMessage = "您的应用已经是最新版本了.";
    static constexpr const char* kCancelTitle = "以后再说";
    static constexpr const char* kConfirmTitle = "立刻更新";
    static constexpr double kToastDuration = 3.0;
    // What messages about the screen call the new-version panel.
    static constexpr const char* kPanelName = "the update box";

    static std::shared_ptr<UpdatingCheckManager> sharedInstance();

    void checkBoxUpdating(bool isExplicit);
    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override;
    void requestUpdaingBoxFinished(const pf::Bytes& data);

    // The new-version panel for the offered `version`; nothing without a key window.
    void showVersionUpdatingView(const std::string& version);
    // The "already latest" toast; nothing without a key window.
    void showVersionUpdatingView();
    void didTouchVersionUpdatingCancleButton();
    void didTouchVersionUpdatingConfirmButton();
    void dismissVersionUpdatingView();
    // A "checking" panel that no flow shows; a reply removes it when it is there.
    void showUpdatingCheckingPromptView();

    // The install address for a download address.
    static std::string installAddress(const std::string& downloadURL);

    std::shared_ptr<NetworkRequestor> updatingCheckNetworkRequestor() const { return m_updatingCheckNetworkRequestor; }
    std::shared_ptr<BoxUpdatingInfo> boxUpdatingInfo() const { return m_boxUpdatingInfo; }
    std::shared_ptr<pf::View> versionUpdatingView() const { return m_versionUpdatingView; }
    std::shared_ptr<pf::View> updateCheckingView() const { return m_updateCheckingView; }
    bool isUpadtedInfoNeeded() const { return m_isUpadtedInfoNeeded; }

private:
    UpdatingCheckManager() = default;

    std::shared_ptr<NetworkRequestor> m_updatingCheckNetworkRequestor;
    std::shared_ptr<BoxUpdatingInfo> m_boxUpdatingInfo;
    std::shared_ptr<pf::View> m_versionUpdatingView;
    std::shared_ptr<pf::View> m_updateCheckingView;
    bool m_isUpadtedInfoNeeded { false };
};
