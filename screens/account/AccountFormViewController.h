#pragma once

#include "core/NetworkRequestorDelegate.h"
#include "core/PortalReplyEnvelope.h"
#include "core/UserTokenStore.h"
#include "core/views/AdaptedViewController.h"
#include "platform/ui/TextFieldDelegate.h"

#include <memory>
#include <string>
#include <vector>

class NetworkRequestor;
class UserAccountPromptView;

namespace pf {
class NibLoader;
class TextField;
}

// The common ground of the forum account screens (login and registration): a form of text
// fields on a light grey page with a back button, one portal request at a time, a panel of
// texts that fades out, and the way back past the screens the account flow pushed.
//
// Rules:
// - Return in any field only puts the keyboard away; it sends nothing.
// - Only a successful reply whose body holds a non-empty "usertoken" that can be kept (see
//   `UserTokenStore::canKeep`) hands out an account; a failure shows the portal's message, or
//   the screen's general text when it sent none.
// - A fading panel keeps itself alive until the fade has ended and it has left its host.
class AccountFormViewController : public AdaptedViewController,
                                  public NetworkRequestorDelegate,
                                  public pf::TextFieldDelegate {
public:
    static constexpr double kPanelFadeDuration = 3.0;

    AccountFormViewController(std::string nibName, std::string title);

    void viewDidLoad() override;
    bool textFieldShouldReturn(pf::TextField& textField) override;

    std::shared_ptr<UserAccountPromptView> userAccountPromptView() const { return m_userAccountPromptView; }
    std::shared_ptr<NetworkRequestor> networkRequstor() const { return m_networkRequstor; }

protected:
    // Layout helpers: a rounded white field 280 points wide at `y`, and a coloured button.
    static void addFormField(pf::NibLoader& loader, pf::View& root, const char* outlet, const char* placeholder, double y, bool secure);
    static void addFormButton(pf::NibLoader& loader, pf::View& root, const char* title, const pf::Rect& frame, const char* action,
        const char* background);

    // The form's fields, in the order they are filled.
    virtual std::vector<std::shared_ptr<pf::TextField>> formFields() const = 0;

    // The account a reply hands out, or null when it hands out none.
    template <class AccountInfo>
    static std::shared_ptr<AccountInfo> accountFromReply(const PortalReplyEnvelope& reply)
    {
        if (!reply.isSuccess() || !reply.body().isDictionary())
            return nullptr;
        auto info = AccountInfo::itemFromDictionary(reply.body());
        return info && !info->usertoken().text().empty() && UserTokenStore::canKeep(info->usertoken().text()) ? info : nullptr;
    }
    // What a reply that handed out no account shows.
    static std::string failureMessage(const PortalReplyEnvelope& reply, const std::string& fallback);

    // Replaces the panel with a new grey one at `frame` showing the markup `lines`.
    void makePromptPanel(const pf::Rect& frame, const std::vector<std::string>& lines);
    // Puts the panel into `host` and fades it out; it leaves `host` when the fade ends.
    void fadeOutPromptPanel(const std::shared_ptr<pf::View>& host);
    // Goes back to the screen `screensBelow` places below this one on its navigation stack,
    // taking this screen and those between off; nothing when there is no such screen.
    void returnBelow(size_t screensBelow);

    std::shared_ptr<NetworkRequestor> m_networkRequstor;

private:
    void popViewController();

    std::string m_title;
    std::shared_ptr<UserAccountPromptView> m_userAccountPromptView;
};
