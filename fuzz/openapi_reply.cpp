// A sign-in reply from the LM or LZone app: the address it opens ("morrow<app id>://lzapp/...",
// its command and query) and the archive it left on the named or the general pasteboard, read
// by the hand-off into the session. The first byte picks the pasteboard and whether the
// archive is the input's own bytes or a keyed archive made from the input's JSON (so the
// reply's fields are reached); the address part runs up to the first line break.
//
// Every address points at a closed local port, so nothing a run starts leaves the machine.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/HostTable.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/UrlRequest.h"
#include "sdk/lmconnect/MorrowOAuth.h"
#include "sdk/lmconnect/apps/MorrowSessionDelegate.h"
#include "sdk/lmconnect/analytics/MRA4LCHosts.h"
#include "sdk/lmconnect/apps/MorrowAppPasteboard.h"
#include "sdk/lmconnect/apps/OpenApi.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"

namespace {

constexpr const char* kAppId = "100";
constexpr const char* kScheme = "morrow100";
constexpr const char* kBoard = "fuzz_reply_board";
constexpr const char* kClosed = "http://127.0.0.1:1/";

struct QuietDelegate : MorrowSessionDelegate { };

std::shared_ptr<MorrowOAuth> session()
{
    static auto delegate = std::make_shared<QuietDelegate>();
    static auto made = [] {
        pf::HostTable::pointAllAt(kClosed);
        // The HTTP stack starts here, on the main thread, as in the app: its one-time set-up
        // keeps per-thread state of the thread that runs it.
        pf::UrlConnection::sendSynchronousRequest(pf::UrlRequest(kClosed, 1));
        pf::Bundle::main()->setInfoValue("CFBundleURLTypes",
            pf::Array { pf::Dictionary { { "CFBundleURLSchemes", pf::Array { kScheme } } } });
        return MorrowOAuth::initWithAppIdAndDelegate(kAppId, delegate);
    }();
    return made;
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    auto keep = session();
    fuzz::FuzzInput input(data, size);
    std::uint8_t mode = input.takeByte();
    bool general = mode & 1;
    std::string address = std::string(kScheme) + "://lzapp/" + std::string(input.takeUntil('\n'));
    pf::Bytes archive = input.restAsBytes();
    if (mode & 2) {
        auto value = pf::Json::parse(std::string_view(reinterpret_cast<const char*>(archive.data()), archive.size()));
        archive = value ? pf::KeyedArchiver::archivedValue(*value) : pf::Bytes {};
    }
    // The request this reply answers was staged first: its place is what the reply is read from.
    if (general) {
        auto type = MorrowAppPasteboard::saveDictionaryByGeneralPastboardWithSchema({}, kScheme);
        pf::Pasteboard::general()->setData(archive, *type);
    } else if (auto name = MorrowAppPasteboard::saveDictionaryToPasteBoard({}, kBoard)) {
        pf::Pasteboard::withName(*name, true)->setData(archive, MorrowAppPasteboard::kNamedType);
    }
    OpenApi::dictionaryByParseUrlFromSeparator(address, "?");
    if (auto url = pf::Url::fromString(address))
        OpenApi::handleOpenURL(*url);
    pf::RunLoop::main().runPending();
    return 0;
}
