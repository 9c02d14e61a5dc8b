#include "tools/peers/apps/ParleyApp.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Url.h"
#include "platform/graphics/Image.h"

#include <set>

namespace peers {

namespace {

constexpr const char* kContent = "content";
constexpr size_t kMaxRead = 12u << 20;

bool modernPasteboards()
{
    return pf::Device::current().systemVersionFloat() > 6.9;
}

std::optional<pf::Dictionary> readList(const std::shared_ptr<pf::Pasteboard>& board)
{
    if (!board)
        return std::nullopt;
    auto data = board->dataForType(kContent);
    if (!data || data->empty() || data->size() > kMaxRead)
        return std::nullopt;
    auto list = pf::PropertyList::parse(*data);
    if (!list || !list->asDictionary())
        return std::nullopt;
    return *list->asDictionary();
}

size_t utf16Length(const std::string& text)
{
    size_t units = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            units += c >= 0xF0 ? 2 : 1;
    }
    return units;
}

}

std::shared_ptr<ParleyApp> ParleyApp::install()
{
    auto app = std::make_shared<ParleyApp>();
    std::weak_ptr<ParleyApp> weak = app;
    pf::AppRegistry::shared().install({ kBundleIdentifier, { "parleyim", "parley" },
        [weak](const pf::Url& url, const std::string&) {
            if (auto self = weak.lock())
                self->opened(url);
        } });
    auto info = pf::Pasteboard::withName("parley_sdk_infomation", true);
    info->setPersistent(true);
    info->setData(*pf::PropertyList::write(pf::Dictionary { { "version", kSdkVersion } }, pf::PropertyList::Format::Binary), kContent);
    return app;
}

void ParleyApp::uninstall()
{
    pf::AppRegistry::shared().uninstall(kBundleIdentifier);
    pf::Pasteboard::remove("parley_sdk_infomation");
}

std::vector<ParleyApp::Received> ParleyApp::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::optional<pf::Dictionary> ParleyApp::registrations()
{
    return readList(pf::Pasteboard::withName("parley_register", false));
}

void ParleyApp::setAnswer(std::optional<int> result, unsigned command)
{
    std::lock_guard lock(m_mutex);
    m_answerResult = result;
    m_answerCommand = command;
}

std::vector<std::string> ParleyApp::check(const pf::Dictionary& record, const std::optional<pf::Bytes>& file)
{
    static const std::set<std::string> dataKeys { "thumbData", "fileData" };
    static const std::set<std::string> commands { "1010", "1020", "1070", "2000", "2020", "2040" };
    std::vector<std::string> problems;
    for (const auto& [key, value] : record) {
        bool isData = dataKeys.count(key) > 0;
        if (isData ? !value.asData() : !value.asString())
            problems.push_back(key + ": wrong type");
    }
    auto text = [&](const char* key) -> std::optional<std::string> {
        const pf::Value* v = record.find(key);
        return v && v->asString() ? std::optional<std::string>(*v->asString()) : std::nullopt;
    };
    auto limitText = [&](const char* key, size_t max) {
        if (auto t = text(key); t && utf16Length(*t) > max)
            problems.push_back(std::string(key) + ": too long");
    };
    for (const char* key : { "command", "returnFromApp", "result", "sdkver" }) {
        if (!text(key))
            problems.push_back(std::string(key) + ": missing");
    }
    auto command = text("command");
    if (command && !commands.count(*command))
        problems.push_back("command: unknown " + *command);
    if (text("sdkver") && *text("sdkver") != kSdkVersion)
        problems.push_back("sdkver: " + *text("sdkver"));
    if (command == std::optional<std::string>("1020")) {
        auto title = text("title");
        if (!title || title->empty())
            problems.push_back("title: missing");
        limitText("title", 10240);
    } else {
        limitText("title", 512);
    }
    limitText("description", 1024);
    limitText("mediaTagName", 64);
    for (const char* key : { "mediaUrl", "mediaLowBandUrl", "mediaDataUrl", "mediaLowBandDataUrl" })
        limitText(key, 10240);
    limitText("extInfo", 2048);
    limitText("fileExt", 64);
    if (const pf::Value* thumb = record.find("thumbData"); thumb && thumb->asData()) {
        if (thumb->asData()->size() > 32768)
            problems.push_back("thumbData: too large");
        else if (!pf::Image::decode(*thumb->asData()))
            problems.push_back("thumbData: no picture");
    }
    const pf::Value* inside = record.find("fileData");
    size_t fileSize = inside && inside->asData() ? inside->asData()->size() : (file ? file->size() : 0);
    if (fileSize > 10485760)
        problems.push_back("fileData: too large");
    if (command == std::optional<std::string>("1010")) {
        if (!text("objectType"))
            problems.push_back("objectType: missing");
        if (!text("mediaUrl") && fileSize == 0 && !text("extInfo"))
            problems.push_back("media: no content");
    }
    return problems;
}

void ParleyApp::opened(const pf::Url& url)
{
    Received got;
    got.url = url.absoluteString();
    auto parts = url.pathComponents(); // "/", id, action
    if (url.hasScheme("parleyim") && url.host() == "app" && parts.size() >= 2) {
        got.appID = parts[1];
        got.action = parts.size() >= 3 ? parts[2] : "";
    }
    if (!got.action.empty()) {
        std::optional<pf::Dictionary> all;
        if (modernPasteboards()) {
            all = readList(pf::Pasteboard::general());
        } else {
            all = readList(pf::Pasteboard::withName("parley_data", false));
            if (auto fileBoard = pf::Pasteboard::withName("parley_file", false))
                got.file = fileBoard->dataForType(kContent);
        }
        const pf::Value* entry = all ? all->find(got.appID) : nullptr;
        if (entry && entry->asDictionary())
            got.record = *entry->asDictionary();
        else
            got.problems.push_back("no record for " + got.appID);
        auto problems = check(got.record, got.file);
        got.problems.insert(got.problems.end(), problems.begin(), problems.end());
    }
    std::optional<int> answer;
    unsigned command;
    {
        std::lock_guard lock(m_mutex);
        m_received.push_back(got);
        answer = m_answerResult;
        command = m_answerCommand;
    }
    if (answer && got.action == "sendreq" && !got.appID.empty()) {
        sendRecord(got.appID,
            pf::Dictionary { { "command", std::to_string(command) }, { "returnFromApp", "1" },
                { "result", std::to_string(*answer) }, { "sdkver", kSdkVersion }, { "account", "parley-account" } });
    }
}

void ParleyApp::sendRecord(const std::string& appID, const pf::Dictionary& record)
{
    if (modernPasteboards()) {
        pf::Pasteboard::general()->setData(
            *pf::PropertyList::write(pf::Dictionary { { appID, record } }, pf::PropertyList::Format::Binary), kContent);
    } else {
        auto board = pf::Pasteboard::withName("parley_data", true);
        board->setPersistent(true);
        pf::Dictionary all = readList(board).value_or(pf::Dictionary {});
        all.set(appID, record);
        board->setData(*pf::PropertyList::write(all, pf::PropertyList::Format::Binary), kContent);
    }
    if (auto url = pf::Url::fromString(appID + "://parley/response"))
        pf::AppRegistry::shared().openURL(*url, kBundleIdentifier);
}

}
