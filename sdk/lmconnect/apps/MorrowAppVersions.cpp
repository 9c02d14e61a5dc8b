#include "sdk/lmconnect/apps/MorrowAppVersions.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Url.h"

#include <utility>

int MorrowAppVersions::lmVersion()
{
    if (pf::Application::shared().canOpenURL("mlmopensdkapiV2://lmapp"))
        return 3;
    if (pf::Application::shared().canOpenURL("mlmOpensdkSSoLogin://lmapp"))
        return 2;
    if (pf::Application::shared().canOpenURL("mlm://lmapp"))
        return 1;
    return 0;
}

int MorrowAppVersions::lzoneVersion()
{
    static const std::pair<const char*, int> kProbes[] = { { "mlzoneopensdkapiV2://lzapp", 5 }, { "mlzoneopensdkapi19://lzapp", 4 },
        { "mlzoneopensdkapi://lzapp", 3 }, { "mlzoneopensdk://lzapp", 2 }, { "mlzone://lzapp", 1 } };
    for (const auto& [url, version] : kProbes) {
        if (pf::Application::shared().canOpenURL(url))
            return version;
    }
    return 0;
}

bool MorrowAppVersions::isLZoneInstalled()
{
    return pf::Application::shared().canOpenURL("mlzoneopensdk://lzapp") || pf::Application::shared().canOpenURL("mlzoneopensdkapi://lzapp");
}

bool MorrowAppVersions::isSupportGeneralPastboard() { return pf::Application::shared().canOpenURL("mlmopensdkapiV2://"); }
bool MorrowAppVersions::isLZoneSupportGeneralPastboard() { return pf::Application::shared().canOpenURL("mlzoneopensdkapiV2://"); }

bool MorrowAppVersions::canParseURL(const pf::Url& url) { return pf::Application::shared().canOpenURL(url); }
bool MorrowAppVersions::canParseApplicationUrlStr(const std::string& text) { return pf::Application::shared().canOpenURL(std::string_view(text)); }
