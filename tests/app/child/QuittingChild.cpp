// Started by the quitting tests: the app's busy moment when a person quits (pictures being
// stored by the image cache, statistics being written, an upload under way), then the end of
// main at once, so the process exits while all of it still runs.
//   quitting_child HOME UPLOAD_URL
// Or a queue's job that reads what a reply, a time zone and a host table give while the process
// ends, and prints what it read.
//   quitting_child --reads-at-the-end

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/ProcessExit.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/TimeZone.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/graphics/Image.h"
#include "platform/kit/ImageCache.h"
#include "sdk/stats/TalmerinMobStat.h"
#include "tests/support/ChildHome.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>

namespace {

constexpr std::int64_t kUploadBytes = 64 * 1024;

int readAtTheEnd()
{
    // The queue starts first, as the app's do, so what is first used below is made after the
    // process's end was installed.
    auto queue = pf::DispatchQueue::create("quitting.reads");
    pf::Value reply = *pf::Json::parse(R"({"present":1})");
    bool absent = reply["absent"].isMissing();
    auto zone = pf::TimeZone::named("Asia/Shanghai");
    TalmerinMobStat::hosts().setAddress(TalmerinMobStat::kServiceHost, "http://stats.invalid/");
    if (!absent || !zone)
        return 3;
    queue->async([reply] {
        // Once the end has begun: whatever the clean-up already destroyed is gone by then.
        while (!pf::ProcessExit::isEnding())
            std::this_thread::yield();
        const pf::Value& absent = reply["absent"];
        auto zone = pf::TimeZone::named("Asia/Shanghai");
        std::printf("absent: %s, zone: %s, host: %s\n", absent.isMissing() ? "missing" : "present", zone ? "read" : "none",
            TalmerinMobStat::hosts().address(TalmerinMobStat::kServiceHost).c_str());
    });
    return 0;
}

}

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "--reads-at-the-end")
        return readAtTheEnd();
    if (argc != 3)
        return 2;
    pf::RunLoop::main().bindToCurrentThread();
    if (!testsupport::enterHome(argv[1]))
        return 2;

    // The upload: its reply is held by the test's server, so it is still under way at the end.
    pf::UrlRequest upload(argv[2]);
    upload.setMethod("POST");
    upload.setValue("application/octet-stream", "Content-Type");
    upload.setBody(std::string(kUploadBytes, 'u'));
    auto connection = pf::UrlConnection::create(upload);
    bool sent = false;
    connection->didSendBodyData = [&sent](std::int64_t, std::int64_t total, std::int64_t) { sent = total == kUploadBytes; };
    connection->start();
    if (!pf::RunLoop::main().runUntil([&sent] { return sent; }, 30))
        return 4;

    auto stat = TalmerinMobStat::defaultStat();
    stat->startWithAppId("quitting-child");
    for (int i = 0; i < 40; ++i)
        stat->logEvent("quit", std::to_string(i));

    pf::Image picture(8, 8);
    pf::Bytes png = picture.pngData();
    auto cache = pf::ImageCache::shared();
    for (int i = 0; i < 200; ++i)
        cache->storeData("http://pictures.invalid/" + std::to_string(i) + ".png", png, nullptr);
    return 0;
}
