#pragma once

#include "platform/ui/View.h"

#include <memory>
#include <string>
#include <vector>

namespace pf {
class Label;
class Window;
}

// A short banner that slides down over the status bar and back up, one at a time.
//
// The class is two things, as on the platform: `shared()` is the keeper of the queue and of a
// window of its own above the status bar (level status bar + 1); the banners themselves are
// instances loaded from the layout named "StatusBarNotification" (320 x kBannerHeight, white,
// rounded, with `label1` hidden and `label2` holding the message).
//
// Rules:
// - Banners are shown in the order they were added, never two at once: each slides in over
//   kSlideDuration, stays kShowDuration, slides out over kSlideDuration, then the next starts.
// - The message is plain text; nothing in it is interpreted.
// - The window is kWidth wide whatever the screen. It is shown while banners are queued and
//   hidden once the last one has slid out.
class StatusBarNotification : public pf::View {
public:
    static constexpr double kSlideDuration = 0.5;
    static constexpr double kShowDuration = 3.0;
    static constexpr double kWidth = 320;
    static constexpr double kBannerHeight = 20;
    static constexpr const char* kNibName = "StatusBarNotification";

    static std::shared_ptr<StatusBarNotification> shared();
    static void notificationWithMessage(const std::string& message);
    static void notificationWithView(const std::shared_ptr<pf::View>& view);
    // Registers the banner layout (done on first use; again after a test emptied the layouts).
    static void registerNib();
    // Test set-up: forgets queued banners and any banner in progress.
    static void reset();

    void addNotificationViewWithMessage(const std::string& message);
    void addNotificationViewWithView(const std::shared_ptr<pf::View>& view);

    std::shared_ptr<pf::Window> notificationView() const { return m_notificationView; }
    // Waiting or showing, oldest (the one showing) first.
    const std::vector<std::shared_ptr<pf::View>>& messageQueue() const { return m_messageQueue; }
    bool isShowingNotification() const { return m_showingNotification; }

    // The banner's parts (set by the layout).
    std::shared_ptr<pf::Label> label1() const { return m_label1.lock(); }
    std::shared_ptr<pf::Label> label2() const { return m_label2.lock(); }
    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;

    std::string dumpClassName() const override { return "StatusBarNotification"; }

    StatusBarNotification() = default;

private:
    void ensureWindow();
    void showNotificationView(const std::shared_ptr<pf::View>& view);
    void hideCurrentNotification();
    void showNotificationAnimationComplete(bool finished);
    void hideNotificationAnimationComplete(bool finished);

    std::shared_ptr<pf::Window> m_notificationView;
    std::vector<std::shared_ptr<pf::View>> m_messageQueue;
    bool m_showingNotification { false };
    std::weak_ptr<pf::Label> m_label1;
    std::weak_ptr<pf::Label> m_label2;
};
