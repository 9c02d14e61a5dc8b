// A Blip transfer as the Blip app leaves it: the items of a "blipsdk_<request|response>_<id>"
// pasteboard (the archived object, user information and app dictionaries, the SDK version),
// read when the app opens "bp<key>://request|response?id=...". The first byte picks request or
// response and whether each archive is the input's own bytes or made from the input's JSON;
// the pieces are separated by line breaks: object, user information, app, version.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"
#include "platform/ui/AlertView.h"
#include "sdk/libBlipSDK/BPBaseRequest.h"
#include "sdk/libBlipSDK/BPBaseResponse.h"
#include "sdk/libBlipSDK/BPDataTransferObject.h"
#include "sdk/libBlipSDK/BlipSDK.h"
#include "sdk/libBlipSDK/BlipSDKDelegate.h"

namespace {

constexpr const char* kAppKey = "2045436852";
constexpr const char* kId = "fuzz-transfer";

struct Receiver : blip::BlipSDKDelegate {
    void didReceiveBlipRequest(const std::shared_ptr<blip::BPBaseRequest>&) override { }
    void didReceiveBlipResponse(const std::shared_ptr<blip::BPBaseResponse>&) override { }
};

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    static bool registered = blip::BlipSDK::registerAppWithAppKey(kAppKey);
    (void)registered;
    static auto receiver = std::make_shared<Receiver>();
    fuzz::FuzzInput input(data, size);
    std::uint8_t mode = input.takeByte();
    std::string type = mode & 1 ? "response" : "request";
    auto archive = [&](std::string_view piece) {
        if (!(mode & 2))
            return pf::Bytes(piece.begin(), piece.end());
        auto value = pf::Json::parse(piece);
        return value ? pf::KeyedArchiver::archivedValue(*value) : pf::Bytes {};
    };
    pf::Pasteboard::Item item;
    item["transferObject"] = archive(input.takeUntil('\n'));
    item["userInfo"] = archive(input.takeUntil('\n'));
    item["app"] = archive(input.takeUntil('\n'));
    item["sdkVersion"] = input.restAsBytes();
    auto board = blip::BlipSDK::pasteboardWithName(blip::BPDataTransferObject::pasteboardNameWithID(type, kId), true);
    // One item or one per type, as a writer may have put them.
    if (mode & 4) {
        board->setItems({ item });
    } else {
        std::vector<pf::Pasteboard::Item> items;
        for (auto& [key, bytes] : item)
            items.push_back({ { key, bytes } });
        board->setItems(std::move(items));
    }
    blip::BlipSDK::handleOpenURL(*pf::Url::fromString("bp" + std::string(kAppKey) + "://" + type + "?id=" + kId + "&sdkversion=2.4"), receiver);
    pf::RunLoop::main().runPending();
    // Without the Blip app a refused request asks whether to install it; the user declines, so
    // prompts do not pile up from one input to the next.
    while (auto alert = pf::AlertView::visibleAlert()) {
        alert->dismissWithClickedButtonIndex(alert->cancelButtonIndex(), false);
        pf::RunLoop::main().runPending();
    }
    return 0;
}
