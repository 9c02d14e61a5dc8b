// A Parley exchange record as the Parley app leaves it: the property list on the data
// pasteboard (before system 7) or the general one (from 7 on), keyed by our app id, with the
// file data beside it; read when the app opens "px<id>://...". The first byte picks the
// system and whether the list is the input's own bytes or made from the input's JSON; the
// file data follows the first line break.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"
#include "sdk/libParleySDK/AppCommunicate.h"
#include "sdk/libParleySDK/PXApi.h"
#include "sdk/libParleySDK/PXApiDelegate.h"
#include "sdk/libParleySDK/ParleyApiUtil.h"

namespace {

constexpr const char* kAppId = "px1234567890";

struct Receiver : parley::PXApiDelegate {
    void onReq(const std::shared_ptr<parley::BaseReq>&) override { }
    void onResp(const std::shared_ptr<parley::BaseResp>&) override { }
};

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    static bool registered = parley::PXApi::registerApp(kAppId);
    (void)registered;
    static auto receiver = std::make_shared<Receiver>();
    fuzz::FuzzInput input(data, size);
    std::uint8_t mode = input.takeByte();
    pf::Device::current().setSystemVersion(mode & 1 ? "7.0" : "6.1");
    std::string_view listText = input.takeUntil('\n');
    pf::Bytes list(listText.begin(), listText.end());
    if (mode & 2) {
        auto value = pf::Json::parse(listText);
        auto made = value ? parley::ParleyApiUtil::dataFromPropertyList(pf::Dictionary { { kAppId, *value } }) : std::nullopt;
        list = made.value_or(pf::Bytes {});
    }
    auto board = mode & 1 ? parley::AppCommunicate::getDataPasteboardForSystem7Plus() : parley::AppCommunicate::getDataPasteboard();
    board->setData(list, parley::AppCommunicate::kContentType);
    parley::AppCommunicate::getFilePasteboard()->setData(input.restAsBytes(), parley::AppCommunicate::kContentType);
    parley::PXApi::handleOpenURL(*pf::Url::fromString(std::string(kAppId) + "://platformId=parley"), receiver);
    pf::RunLoop::main().runPending();
    return 0;
}
