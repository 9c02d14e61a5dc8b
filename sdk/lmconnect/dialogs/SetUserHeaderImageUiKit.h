#pragma once

#include "sdk/lmconnect/openapi/APIResponse.h"

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {
class Image;
class ViewController;
class Window;
}
class SetHeadImageViewController;
class setHeadImageDelegate;

// Shows the avatar crop screen in a window of its own (the app's other windows slide away and
// come back when it closes) or hands it to the host to present. At most one window at a time,
// and no screen for a host while it is up.
class SetUserHeaderImageUiKit : public std::enable_shared_from_this<SetUserHeaderImageUiKit> {
public:
    explicit SetUserHeaderImageUiKit(std::string appId) : m_appId(std::move(appId)) { }
    ~SetUserHeaderImageUiKit();

    bool popSetHeadImageViewWnd(std::weak_ptr<setHeadImageDelegate> delegate, const std::shared_ptr<pf::Image>& image,
        const std::optional<std::string>& fileName, const std::optional<std::string>& userNick);
    std::shared_ptr<SetHeadImageViewController> getHeadImageViewController(std::weak_ptr<setHeadImageDelegate> delegate,
        const std::shared_ptr<pf::Image>& image, const std::optional<std::string>& fileName, const std::optional<std::string>& userNick);
    void onTimerSetPic(const std::shared_ptr<pf::Image>& image, const std::optional<std::string>& nick);
    bool setViewControllerData(const pf::Value& data);
    bool setViewControllerResponse(const std::shared_ptr<APIResponse>& response);
    void doClose();

    const std::shared_ptr<pf::Window>& window() const { return m_window; }
    const std::shared_ptr<SetHeadImageViewController>& headImageViewController() const { return m_headImageViewController; }
    // The crop screen shown in the window or handed to the host.
    std::shared_ptr<SetHeadImageViewController> screen() const;

private:
    std::shared_ptr<SetHeadImageViewController> makeScreen(std::weak_ptr<setHeadImageDelegate> delegate,
        const std::optional<std::string>& fileName, const std::optional<std::string>& userNick);
    void startHandOver(double delay, const std::shared_ptr<pf::Image>& image, const std::optional<std::string>& nick);
    void MoveOtherWindowOutOfFrame();
    void MoveOhterWindowIntoFrame();
    void closeWindow();

    std::shared_ptr<pf::Window> m_window;
    std::shared_ptr<pf::Window> m_keywindow;
    std::optional<pf::RunLoop::TaskId> m_timer;
    std::vector<std::shared_ptr<pf::Window>> m_windowsArray;
    std::shared_ptr<SetHeadImageViewController> m_headImageViewController;
    std::string m_appId;
};
