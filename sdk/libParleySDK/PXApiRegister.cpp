#include "sdk/libParleySDK/PXApiRegister.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/RunLoop.h"
#include "sdk/libParleySDK/AppCommunicateData.h"
#include "sdk/libParleySDK/ParleyApiUtil.h"

#include <cstdint>
#include <cstdio>

namespace parley {

namespace {

std::string nowText()
{
    char text[32];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(static_cast<std::uint32_t>(pf::RunLoop::main().now())));
    return text;
}

std::optional<pf::Bytes> readFile(const std::string& path)
{
    return pf::FileManager::read(path);
}

// The registrations to write ours among. Content that cannot be read is set aside first: ours
// then starts the registry anew rather than erase or alter the other apps' records. A record
// that does not read (a text that is not UTF-8 or holds a NUL, which could not be written back
// as it was) costs only itself: the content is set aside, and the other records stay.
pf::Dictionary registrationsToKeep(const std::shared_ptr<pf::Pasteboard>& board)
{
    auto content = board->dataForType("content");
    if (!content || content->empty())
        return {};
    size_t leftOut = 0;
    auto all = PXApiRegister::getRegisterDictionary(board, &leftOut);
    if (all && leftOut == 0)
        return *all;
    if (all)
        pf::Log::format("Parley: %zu registrations on \"%s\" cannot be read; setting the content aside", leftOut, board->name().c_str());
    else
        pf::Log::format("Parley: the registrations on \"%s\" cannot be read; setting them aside", board->name().c_str());
    board->setAside();
    return all.value_or(pf::Dictionary {});
}

}

std::optional<pf::Dictionary> PXApiRegister::getRegisterDictionary(const std::shared_ptr<pf::Pasteboard>& board, size_t* leftOut)
{
    if (leftOut)
        *leftOut = 0;
    if (!board)
        return std::nullopt;
    auto list = ParleyApiUtil::propertyListEntriesFromData(board->dataForType("content"), leftOut);
    if (!list || !list->asDictionary())
        return std::nullopt;
    return *list->asDictionary();
}

std::optional<std::string> PXApiRegister::getIconString()
{
    auto bundle = pf::Bundle::main();
    if (!bundle)
        return std::nullopt;
    const bool twice = ParleyApiUtil::is2xScreen();
    const std::string fallback = twice ? "Icon@2x.png" : "Icon.png";
    std::string name;
    const pf::Value& files = bundle->objectForInfoDictionaryKey("CFBundleIconFiles");
    if (const pf::Array* list = files.asArray()) {
        std::string last;
        for (const pf::Value& v : *list) {
            const std::string* n = v.asString();
            if (!n)
                continue;
            last = *n;
            if ((n->find("@2x") != std::string::npos) == twice) {
                name = *n;
                break;
            }
        }
        if (name.empty())
            name = last.empty() ? fallback : last;
    } else if (const std::string* single = bundle->objectForInfoDictionaryKey("CFBundleIconFile").asString()) {
        name = *single;
    } else {
        name = fallback;
    }
    return bundle->bundlePath() + "/" + name;
}

pf::Dictionary PXApiRegister::buildAppDictionary(const std::string& appID, const pf::Dictionary* oldAppDictionary)
{
    pf::Dictionary record;
    auto bundle = pf::Bundle::main();
    if (auto path = getIconString()) {
        auto icon = readFile(*path);
        if (!icon && bundle)
            icon = readFile(bundle->bundlePath() + "/Icon.png");
        if (icon)
            record.set("appIcon", *icon);
    }
    if (bundle) {
        if (const std::string* identifier = bundle->objectForInfoDictionaryKey("CFBundleIdentifier").asString())
            record.set("appIdentifier", *identifier);
        const std::string* display = bundle->objectForInfoDictionaryKey("CFBundleDisplayName").asString();
        const std::string* name = bundle->objectForInfoDictionaryKey("CFBundleName").asString();
        if (display && !display->empty())
            record.set("appName", *display);
        else if (name)
            record.set("appName", *name);
    }
    std::string now = nowText();
    const pf::Value* first = oldAppDictionary ? oldAppDictionary->find("firstLaunchTime") : nullptr;
    record.set("firstLaunchTime", first && first->asString() ? *first->asString() : now);
    record.set("laststLaunchTime", now);
    record.set("appID", appID);
    return record;
}

bool PXApiRegister::registerApp(const std::string& appID)
{
    return registerAppWithDescription(appID, std::nullopt);
}

bool PXApiRegister::registerAppWithDescription(const std::string& appID, const std::optional<std::string>& description)
{
    if (appID.empty())
        return false;
    auto board = pf::Pasteboard::withName(getRegisterPasteboardName(), true);
    if (!board)
        return false;
    board->setPersistent(true);
    pf::Dictionary all = registrationsToKeep(board);
    const pf::Value* old = all.find(appID);
    pf::Dictionary record = buildAppDictionary(appID, old ? old->asDictionary() : nullptr);
    if (description) {
        size_t length = AppCommunicateData::textLength(*description);
        if (length >= 1 && length <= kMaxDescription)
            record.set("appDescriptionSDK", *description);
    }
    all.set(appID, std::move(record));
    auto data = ParleyApiUtil::dataFromPropertyList(all);
    if (!data)
        return false;
    board->setData(std::move(*data), "content");
    return true;
}

}
