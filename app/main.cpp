// The quorvane executable. Until the screens exist it runs the client core end to end: it
// starts the main run loop, asks the portal for the first page of gifts of the first category
// with a signed "ka/list" request, reads the reply as records and prints them as a listing.
// It exits 0 when the portal answered with "ret" 0, 1 otherwise (a refused request, an
// unreadable reply, or no answer within the time limit).
//
//   quorvane [--portal <root address>]
//
// The portal's addresses come from the bundle's "AppInfoConfiguration"; --portal replaces them
// with "<root>api/" and "<root>" (the simulator's local portal on a port of its own).

#include "core/AppInfoConfiguration.h"
#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/records/GiftListItemInfo.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/RunLoop.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace pf;

namespace {

constexpr double kTimeLimit = 10;

const char* statusText(int status)
{
    switch (status) {
    case 0: return "预约";
    case 1: return "领取";
    case 2: return "淘号";
    case 3: return "结束";
    }
    return "?";
}

std::string costText(const GiftListItemInfo& gift)
{
    if (gift.extcredits1() == 0 && gift.extcredits2() == 0)
        return "免费";
    std::string text;
    if (gift.extcredits1() != 0)
        text += std::to_string(gift.extcredits1()) + "金币";
    if (gift.extcredits2() != 0)
        text += (text.empty() ? "" : "+") + std::to_string(gift.extcredits2()) + "萌点";
    return text;
}

// Prints the reply of the gift list and ends the loop.
class GiftListPrinter : public NetworkRequestorDelegate {
public:
    int exitCode { 1 };

    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>&, const Bytes& data) override
    {
        auto reply = Json::parse(data);
        if (!reply || !reply->isDictionary()) {
            std::fprintf(stderr, "the portal's reply is not a JSON object\n");
        } else if (int ret = (*reply)["ret"].intValue(); ret != 0) {
            std::fprintf(stderr, "the portal refused the request: ret %d, %s\n", ret, (*reply)["msg"].stringValue().c_str());
        } else {
            auto gifts = GiftListItemInfo::listFromDictionary(*reply);
            std::printf("推荐 第1页：%zu 个礼包\n", gifts ? gifts->size() : 0);
            if (gifts) {
                for (auto& gift : *gifts) {
                    std::printf("%6d  [%s]  %s  %s  剩余 %d/%d\n", gift->fid(), statusText(gift->status()),
                        gift->title().text().c_str(), costText(*gift).c_str(), gift->total() - gift->send(), gift->total());
                }
            }
            exitCode = 0;
        }
        RunLoop::main().quit();
    }
};

}

int main(int argc, char** argv)
{
    std::string portal;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--portal") == 0 && i + 1 < argc) {
            portal = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--portal <root address>]\n", argv[0]);
            return 2;
        }
    }

    auto& loop = RunLoop::main();
    loop.bindToCurrentThread();

    auto configuration = AppInfoConfiguration::sharedInstance();
    if (!portal.empty()) {
        if (portal.back() != '/')
            portal += '/';
        configuration->setApiBaseURL(portal + "api/");
        configuration->setForumBaseURL(portal);
    }
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::GiftList);
    if (!address) {
        std::fprintf(stderr, "no portal address is configured\n");
        return 1;
    }

    auto printer = std::make_shared<GiftListPrinter>();
    auto requestor = NetworkRequestor::create();
    loop.post([&] {
        requestor->startPostMethodURLConnection(*address, NetworkParameterAssistant::parametersForGiftList(0, 20, 1),
            false, printer);
    });
    // A failed request is only logged by the requestor, so the wait needs a limit of its own.
    loop.postDelayed(kTimeLimit, [&] {
        std::fprintf(stderr, "no answer from %s within %.0f seconds\n", address->c_str(), kTimeLimit);
        loop.quit();
    });
    loop.run();
    return printer->exitCode;
}
