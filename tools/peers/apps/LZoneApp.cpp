#include "tools/peers/apps/LZoneApp.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Url.h"

namespace peers {

std::shared_ptr<LZoneApp> LZoneApp::install(int version, bool morrowApi)
{
    static const char* kProbes[] = { "mlzone", "mlzoneopensdk", "mlzoneopensdkapi", "mlzoneopensdkapi19", "mlzoneopensdkapiV2" };
    std::vector<std::string> schemes;
    for (int i = 0; i < version && i < 5; ++i)
        schemes.push_back(kProbes[i]);
    if (morrowApi)
        schemes.push_back("morrowapi.lzone.reqContent");
    auto app = std::make_shared<LZoneApp>();
    std::weak_ptr<LZoneApp> weak = app;
    pf::AppRegistry::shared().install({ kBundleIdentifier, schemes, [weak](const pf::Url& url, const std::string&) {
                                           if (auto self = weak.lock())
                                               self->opened(url);
                                       } });
    return app;
}

void LZoneApp::uninstall() { pf::AppRegistry::shared().uninstall(kBundleIdentifier); }

bool LZoneApp::sendRequest(const std::string& scheme, const pf::Bytes& archive, const std::string& type)
{
    auto board = pf::Pasteboard::general();
    board->setData(archive, type);
    auto url = pf::Url::fromString(scheme + "://kTecentReqContent/kMorrowReqContent?kPastboardName=" + pf::Url::escapeComponent(board->name())
        + "&kPastboardType=" + pf::Url::escapeComponent(type));
    return url && pf::AppRegistry::shared().openURL(*url, kBundleIdentifier);
}

std::vector<LZoneApp::Received> LZoneApp::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

void LZoneApp::opened(const pf::Url& url)
{
    Received got;
    got.url = url.absoluteString();
    if (url.host() == "kTecentReqContent") {
        for (const auto& item : url.queryItems()) {
            if (item.name == "kPastboardType" && item.value) {
                auto board = pf::Pasteboard::general();
                got.response = board->dataForType(*item.value);
                board->removeType(*item.value);
            }
        }
    }
    std::lock_guard lock(m_mutex);
    m_received.push_back(std::move(got));
}

}
