#include "sdk/lmconnect/apps/MorrowOpenURLRouter.h"

#include "sdk/lmconnect/apps/MorrowApiInterface.h"
#include "sdk/lmconnect/apps/MorrowAppLauncher.h"
#include "sdk/lmconnect/apps/OpenApi.h"

#include "platform/foundation/Url.h"

bool MorrowOpenURLRouter::route(const pf::Url& url, const std::string& sourceApplication, const Handler& blip)
{
    if (sourceApplication == kLMBundleIdentifier)
        return OpenApi::handleOpenURL(url);
    if (sourceApplication == kLZoneBundleIdentifier)
        return (OpenApi::isAppReply(url) || MorrowApiInterface::canOpenURL(url)) && OpenApi::handleOpenURL(url);
    if (sourceApplication == kLMBrowserBundleIdentifier || sourceApplication == kOldLMBrowserBundleIdentifier)
        return !MorrowAppLauncher::appSchema().empty() && url.hasScheme(MorrowAppLauncher::appSchema()) && OpenApi::handleOpenURL(url);
    if (sourceApplication == kBlipBundleIdentifier)
        return blip && blip(url);
    return false;
}
