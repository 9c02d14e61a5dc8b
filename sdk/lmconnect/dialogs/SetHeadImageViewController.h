#pragma once

#include "sdk/lmconnect/dialogs/MRUiViewControllerPro.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/ScrollViewDelegate.h"
#include "platform/ui/ViewController.h"

#include <memory>
#include <optional>
#include <string>

namespace pf {
class ActivityIndicatorView;
class Button;
class Image;
class ImageView;
class Label;
class ScrollView;
class View;
}
class DestRectView;
class UINotifyView;
class setHeadImageDelegate;

// The avatar crop screen: the photo under a fixed 320-point square that the user moves and
// zooms, "取消" and "选取" below, the nick name above. "选取" cuts the inside of the square
// (at most 640 x 640) and hands it to the delegate to upload; the result shows in a notice.
// A success closes the dialog 1.1 s after its notice; a failure leaves "重试".
//
// Rules:
// - Photos above 2048 x 2048 are reduced to a longer side of 2048 first. The shorter side fills
//   320 points at the smallest zoom; the largest zoom is twice that, or 1 when that is 0.5 or less.
// - A reply without a numeric "ret" is a failure. Becoming active while an upload runs sends no
//   second one.
// - The nick is cut to 24 units (a character below 256 counts 1, others 2 per UTF-16 unit), on
//   whole characters, with "…".
// - Portrait only. Main thread only; the delegate is not owned.
class SetHeadImageViewController : public pf::ViewController, public pf::ScrollViewDelegate, public MRUiViewControllerPro {
public:
    static constexpr const char* kSelectTitle = "选取";
    static constexpr const char* kRetryTitle = "重试";
    static constexpr const char* kCancelTitle = "取消";
    static constexpr const char* kHint = "移动和缩放";
    static constexpr const char* kNetworkProblem = "网络有问题，检查一下网络再重试:)";
    static constexpr const char* kSetFailed = "设置出错了，请重新登录再尝试下呢:)";
    static constexpr const char* kSetDone = "设置成功";
    static constexpr double kNoticeTime = 1.1;
    static constexpr int kNickLimit = 24;
    static constexpr int kUploadSide = 640;
    static constexpr double kDisplaySide = 320;

    SetHeadImageViewController();
    ~SetHeadImageViewController() override;

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;
    void didReceiveMemoryWarning() override;

    void setImage(const std::shared_ptr<pf::Image>& image);
    void setNick(const std::optional<std::string>& nick);
    void resetImage();
    static pf::Size ajustDisplaySize(pf::Size size);
    static std::shared_ptr<pf::Image> imageWithImage(const std::shared_ptr<pf::Image>& image, pf::Size size);
    static std::shared_ptr<pf::Image> getSubImage(const std::shared_ptr<pf::Image>& image, const pf::Rect& rect);
    static std::optional<std::string> stringByMROSDKTruncateWithDotAtLimit(int limit, const std::optional<std::string>& text);

    void cancelBtnClick();
    void selectBtnClick();
    void onTimer();
    void onTimerNotifyView();
    void showNotify(const std::shared_ptr<pf::Image>& image, const std::optional<std::string>& text);
    void removeNotifyView();
    void setUserHeadPicResponse(const std::shared_ptr<APIResponse>& response);
    void onClickApp();
    // The user's zoom, kept between the smallest and the largest.
    void setZoomScale(double scale);

    bool setViewControllerData(const pf::Value& data) override;
    bool setViewControllerResponse(const std::shared_ptr<APIResponse>& response) override;
    void scrollViewWillBeginDragging(pf::ScrollView&) override;

    void setDelegate(std::weak_ptr<setHeadImageDelegate> delegate) { m_delegate = std::move(delegate); }
    void setAppId(std::string appId) { m_appId = std::move(appId); }
    void setFileName(std::string fileName) { m_fileName = std::move(fileName); }
    const std::string& fileName() const { return m_fileName; }
    const std::optional<std::string>& nick() const { return m_nick; }
    const std::shared_ptr<pf::Image>& image() const { return m_image; }
    double zoomScale() const { return m_zoom; }
    double minimumZoomScale() const { return m_minZoom; }
    double maximumZoomScale() const { return m_maxZoom; }
    int seq() const { return m_seq; }
    bool isSetUserPic() const { return m_isSetUserPic; }
    const std::shared_ptr<pf::ScrollView>& scrollView() const { return m_scrollView; }
    const std::shared_ptr<pf::ImageView>& headImage() const { return m_headImage; }
    const std::shared_ptr<pf::Button>& selectButton() const { return m_selectBtn; }
    const std::shared_ptr<pf::Label>& nickLabel() const { return m_nickLabel; }
    const std::shared_ptr<UINotifyView>& notify() const { return m_notify; }
    const std::shared_ptr<pf::ActivityIndicatorView>& activityView() const { return m_activityView; }

private:
    std::shared_ptr<SetHeadImageViewController> self();
    void startTimer(double delay, void (SetHeadImageViewController::*action)());
    void stopTimer();
    void startSpinner();
    // Puts the kept (already shortened) nick into its label, beside the icon.
    void showNick();
    void failWithRetry(const char* message);
    double topBandHeight() const;
    static std::shared_ptr<pf::Image> bundleImage(const std::string& name);

    std::shared_ptr<pf::ScrollView> m_scrollView;
    std::shared_ptr<pf::ImageView> m_headImage;
    std::shared_ptr<pf::ImageView> m_lmImage;
    std::shared_ptr<DestRectView> m_destRectView;
    std::shared_ptr<pf::View> m_topView;
    std::shared_ptr<pf::View> m_bottomView;
    std::shared_ptr<pf::Label> m_nickLabel;
    std::shared_ptr<pf::View> m_toolbar;
    std::shared_ptr<pf::Button> m_cancelBtn;
    std::shared_ptr<pf::Button> m_selectBtn;
    std::shared_ptr<pf::Label> m_lable;
    std::shared_ptr<pf::Image> m_image;
    std::shared_ptr<UINotifyView> m_notify;
    bool m_isCancelled { false };
    bool m_isSetUserPic { false };
    bool m_lastControllerStatusBarHidden { false };
    int m_seq { -1 };
    double m_enterTime { 0 };
    double m_clickTime { 0 };
    std::optional<std::string> m_nick;
    std::weak_ptr<setHeadImageDelegate> m_delegate;
    std::shared_ptr<pf::ActivityIndicatorView> m_activityView;
    std::string m_appId;
    std::string m_fileName;
    std::optional<pf::RunLoop::TaskId> m_timer;
    std::shared_ptr<int> m_observerOwner;
    double m_minZoom { 1 };
    double m_maxZoom { 1 };
    double m_zoom { 1 };
    pf::Size m_displaySize;
};
