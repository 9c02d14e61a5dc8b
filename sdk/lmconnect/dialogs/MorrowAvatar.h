#pragma once

#include "sdk/lmconnect/dialogs/setHeadImageDelegate.h"
#include "sdk/lmconnect/openapi/APIBase.h"
#include "sdk/lmconnect/openapi/APIResponse.h"

#include "platform/foundation/RunLoop.h"

#include <memory>
#include <optional>
#include <string>

namespace pf {
class Image;
class ViewController;
}
class MorrowDialogsDelegate;
class SetUserHeaderImageUiKit;

// The session's avatar dialog: checks the picture, shows the crop screen, uploads the chosen
// square to "user/set_user_face" (PNG, or JPEG at 0.5 when the PNG is above 102,400 bytes) and
// hands the reply to the screen and to the session's delegate; closes 0.1 s after the screen
// asks. While its window is up, another start answers false and shows nothing. Main thread
// only; the session owns it.
class MorrowAvatar : public setHeadImageDelegate, public APIBaseTarget, public std::enable_shared_from_this<MorrowAvatar> {
public:
    static constexpr double kLargestArea = 7990272; // 3264 x 2448
    static constexpr const char* kPictureTooLarge = "设置头像图片过大, 需要小于(3264 * 2448)";
    static constexpr int kPictureTooLargeCode = 0x10000;
    static constexpr int kMissingPictureCode = 8;
    static constexpr size_t kLargestPng = 102400;

    explicit MorrowAvatar(std::weak_ptr<MorrowDialogsDelegate> session);

    bool setUserHeadpic(const std::shared_ptr<pf::Image>& pic, const std::optional<std::string>& fileName);
    bool setUserHeadpicAndViewController(const std::shared_ptr<pf::Image>& pic, const std::optional<std::string>& fileName,
        std::shared_ptr<pf::ViewController>& viewController);
    void setUserHeadpicResponse(const std::shared_ptr<APIResponse>& response);
    void onTimerCloseTcWindow();
    // A nick name that arrived later (the user-info reply): to the crop screen only.
    void offerNick(const std::string& nick);

    int didFinishedSetUserLocalPic(SetHeadImageViewController&, const std::shared_ptr<pf::Image>& image, const std::string& fileName) override;
    bool didCancelled(int seq) override;

    const std::shared_ptr<SetUserHeaderImageUiKit>& setUserHeaderImageKit() const { return m_kit; }

private:
    bool start(const std::shared_ptr<pf::Image>& pic, const std::optional<std::string>& fileName, std::shared_ptr<pf::ViewController>* out);

    std::weak_ptr<MorrowDialogsDelegate> m_session;
    std::shared_ptr<SetUserHeaderImageUiKit> m_kit;
    std::optional<pf::RunLoop::TaskId> m_timer;
};
