#include "sdk/lmconnect/dialogs/MorrowAvatar.h"

#include "sdk/lmconnect/apps/MorrowSessionDelegate.h"
#include "sdk/lmconnect/analytics/MRDataReport.h"
#include "sdk/lmconnect/dialogs/MorrowDialogsDelegate.h"
#include "sdk/lmconnect/dialogs/SetHeadImageViewController.h"
#include "sdk/lmconnect/dialogs/SetUserHeaderImageUiKit.h"
#include "sdk/lmconnect/openapi/MROpenSDKErrorUtil.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/openapi/MorrowParams.h"

#include "platform/graphics/Image.h"

MorrowAvatar::MorrowAvatar(std::weak_ptr<MorrowDialogsDelegate> session)
    : m_session(std::move(session))
{
}

bool MorrowAvatar::setUserHeadpic(const std::shared_ptr<pf::Image>& pic, const std::optional<std::string>& fileName)
{
    return start(pic, fileName, nullptr);
}

bool MorrowAvatar::setUserHeadpicAndViewController(const std::shared_ptr<pf::Image>& pic, const std::optional<std::string>& fileName,
    std::shared_ptr<pf::ViewController>& viewController)
{
    return start(pic, fileName, &viewController);
}

bool MorrowAvatar::start(const std::shared_ptr<pf::Image>& pic, const std::optional<std::string>& fileName, std::shared_ptr<pf::ViewController>* out)
{
    auto session = m_session.lock();
    if (!session || !session->isSessionValid() || !session->isOpenIdValid())
        return false;
    if (!pic || pic->size().width * pic->size().height > kLargestArea) {
        std::shared_ptr<APIResponse> response;
        if (!pic) {
            // No picture is a wrong parameter, not a picture too large.
            response = MROpenSDKErrorUtil::apiResponseFromErrorCode(kMissingPictureCode);
            response->detailRetCode = kMissingPictureCode;
        } else {
            response = std::make_shared<APIResponse>();
            response->errorMsg = kPictureTooLarge;
            response->detailRetCode = kPictureTooLargeCode;
        }
        response->retCode = 1;
        if (auto delegate = session->sessionDelegate())
            delegate->setUserHeadpicResponse(response);
        return true;
    }
    if (!m_kit)
        m_kit = std::make_shared<SetUserHeaderImageUiKit>(session->appId());
    // While the dialog's window is up, no second crop screen is made: it would get nothing.
    if (m_kit->window())
        return false;
    std::string nick = session->userNick();
    if (nick.empty())
        session->getUserInfoNotShow();
    std::optional<std::string> shownNick = nick.empty() ? std::nullopt : std::optional<std::string>(nick);
    if (out) {
        *out = m_kit->getHeadImageViewController(shared_from_this(), pic, fileName, shownNick);
        return *out != nullptr;
    }
    return m_kit->popSetHeadImageViewWnd(shared_from_this(), pic, fileName, shownNick);
}

int MorrowAvatar::didFinishedSetUserLocalPic(SetHeadImageViewController&, const std::shared_ptr<pf::Image>& image, const std::string& fileName)
{
    auto session = m_session.lock();
    if (!session || !image)
        return -1;
    pf::Bytes data = image->pngData();
    if (data.empty())
        return -1;
    if (data.size() > kLargestPng)
        data = image->jpegData(0.5);
    MorrowParams params;
    params.set("picture", pf::Value(std::move(data)));
    params.set("filename", fileName.empty() ? std::string("lmPic") : fileName);
    std::weak_ptr<MorrowAvatar> weak = shared_from_this();
    auto call = APIBase::initWithTarget(shared_from_this(), [weak](const std::shared_ptr<APIResponse>& response) {
        if (auto self = weak.lock())
            self->setUserHeadpicResponse(response);
    }, "POST");
    call->openUrl(MorrowHostConfig::shared().openApiBase() + "user/set_user_face", session->accessToken(), session->openId(), session->appId(),
        std::move(params));
    session->addAPIRequest(call);
    MRDataReport::mraReportApi("user/set_user_face");
    return call->seq();
}

void MorrowAvatar::setUserHeadpicResponse(const std::shared_ptr<APIResponse>& response)
{
    auto self = shared_from_this();
    auto session = m_session.lock();
    if (!response || !session)
        return;
    session->deleteAPIRequestBySeq(std::to_string(response->seq));
    if (m_kit)
        m_kit->setViewControllerResponse(response);
    if (auto delegate = session->sessionDelegate()) {
        if (response->retCode == 0)
            MROpenSDKErrorUtil::apiResponseConvert(*response);
        delegate->setUserHeadpicResponse(response);
    }
}

bool MorrowAvatar::didCancelled(int)
{
    if (m_timer)
        pf::RunLoop::main().cancel(*m_timer);
    std::weak_ptr<MorrowAvatar> weak = shared_from_this();
    m_timer = pf::RunLoop::main().postDelayed(0.1, [weak] {
        if (auto self = weak.lock())
            self->onTimerCloseTcWindow();
    }, this);
    return true;
}

void MorrowAvatar::onTimerCloseTcWindow()
{
    auto self = shared_from_this();
    m_timer.reset();
    auto session = m_session.lock();
    if (session && m_kit) {
        if (auto delegate = session->sessionDelegate())
            delegate->morrowOAuthDoCloseViewController(m_kit->headImageViewController());
    }
    if (m_kit)
        m_kit->doClose();
}

void MorrowAvatar::offerNick(const std::string& nick)
{
    if (m_kit && !nick.empty())
        m_kit->setViewControllerData(pf::Value(pf::Dictionary { { "nick", nick } }));
}
