#include "sdk/lmconnect/openapi/MrApiTool.h"

#include "platform/ui/NavigationController.h"
#include "platform/ui/ViewController.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Crypto.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Url.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>

namespace {

std::atomic<std::uint32_t> g_sequence { 0 };

// UTF-16 code units of a UTF-8 text; bytes that are not UTF-8 count as one unit each.
std::u16string toUtf16(std::string_view s)
{
    std::u16string out;
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = c;
        size_t extra = 0;
        if (c >= 0xF0 && c < 0xF8) {
            cp = c & 0x07;
            extra = 3;
        } else if (c >= 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if (c >= 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        }
        bool valid = extra == 0 || i + extra < s.size();
        for (size_t k = 1; valid && k <= extra; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            valid = (cc & 0xC0) == 0x80;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!valid) {
            out.push_back(c);
            ++i;
            continue;
        }
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

int hexDigitPart(char16_t c, bool high)
{
    int code = c;
    if (high)
        return (16 * code + (code >= 58 ? 144 : 0)) % 256;
    return (code + (code >= 58 ? 9 : 0)) % 16;
}

}

pf::Dictionary MrApiTool::SDKInfo()
{
    auto& device = pf::Device::current();
    // The major number as a whole number read from the text: a version too large for an int
    // stops at its largest rather than overflow the conversion of the fractional reading.
    char major[16];
    std::snprintf(major, sizeof major, "%d", device.systemMajorVersion());
    return pf::Dictionary {
        { kSDKInfoKeySDKV, kSDKInfoSDKVersion },
        { kSDKInfoKeySDKP, kSDKInfoSDKPlatform },
        { kSDKInfoKeyStatusOS, device.systemVersion() },
        { kSDKInfoKeyStatusMachine, MROSDKdeviceMachine() },
        { kSDKInfoKeyStatusVersion, std::string(major) },
    };
}

std::string MrApiTool::MROSDKdeviceMachine()
{
    std::string machine = pf::Device::current().machine();
    return machine.empty() ? "i386" : machine;
}

std::string MrApiTool::escapeQueryValue(std::string_view text)
{
    return pf::Url::escape(text, "!*();:&=+$,/?%#[]");
}

std::optional<std::string> MrApiTool::GetURLWithParam(const std::optional<std::string>& url, const pf::Dictionary& params)
{
    if (!url)
        return std::nullopt;
    std::string out = *url;
    // An address that has a query already goes on with "&": a second "?" would end up inside
    // the last value.
    bool first = out.find('?') == std::string::npos;
    for (auto& [key, value] : params) {
        out += first ? '?' : '&';
        first = false;
        const std::string* text = value.asString();
        out += key;
        out += '=';
        out += escapeQueryValue(text ? *text : value.stringValue());
    }
    return out;
}

bool MrApiTool::isRegistSchemeInfoPlistFile(const std::optional<std::string>& scheme)
{
    if (!scheme)
        return false;
    auto bundle = pf::Bundle::main();
    if (!bundle)
        return false;
    const pf::Array* types = bundle->objectForInfoDictionaryKey("CFBundleURLTypes").asArray();
    if (!types)
        return false;
    for (auto& type : *types) {
        const pf::Array* schemes = type["CFBundleURLSchemes"].asArray();
        if (!type.isDictionary() || !schemes)
            continue;
        for (auto& s : *schemes) {
            if (const std::string* text = s.asString(); text && *text == *scheme)
                return true;
        }
    }
    return false;
}

std::optional<std::string> MrApiTool::jsIsRegistSchemeInfoPlistFile(const pf::Value& arguments)
{
    const std::string* scheme = arguments["appSchema"].asString();
    if (!scheme)
        return std::nullopt;
    return isRegistSchemeInfoPlistFile(*scheme) ? "YES" : "NO";
}

std::optional<pf::Dictionary> MrApiTool::getAppDefinePath()
{
    auto bundle = pf::Bundle::main();
    if (!bundle)
        return std::nullopt;
    if (const pf::Dictionary* resource = bundle->objectForInfoDictionaryKey("morrowSDKResource").asDictionary())
        return *resource;
    return std::nullopt;
}

std::optional<std::string> MrApiTool::encryAccessToken(const std::optional<std::string>& token, std::string_view key)
{
    if (!token || key.empty())
        return std::nullopt;
    std::u16string units = toUtf16(*token);
    std::u16string keyUnits = toUtf16(key);
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        unsigned value = static_cast<unsigned>(units[i] ^ keyUnits[i % keyUnits.size()]);
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, value < 16 ? "0%x" : "%x", value);
        out += buffer;
    }
    return out;
}

std::optional<std::string> MrApiTool::decodeAccessToken(const std::optional<std::string>& token, std::string_view key)
{
    if (!token || key.empty() || token->size() % 2 != 0)
        return std::nullopt;
    std::u16string keyUnits = toUtf16(key);
    std::string out;
    for (size_t k = 0; 2 * k < token->size(); ++k) {
        int byte = NSString16toNSNumber(token->substr(2 * k, 2));
        unsigned value = static_cast<unsigned>(byte ^ keyUnits[k % keyUnits.size()]) & 0xFF;
        appendUtf8(out, value);
    }
    return out;
}

int MrApiTool::NSString16toNSNumber(std::string_view text)
{
    std::u16string units = toUtf16(text);
    if (units.size() != 2)
        return 0;
    return hexDigitPart(units[0], true) + hexDigitPart(units[1], false);
}

std::string MrApiTool::random16Str()
{
    std::uint32_t length = 2 * (pf::Crypto::random32() % 8) + 2;
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::uint32_t i = 0; i < length; ++i)
        out += kDigits[pf::Crypto::random32() % 16];
    return out;
}

std::string MrApiTool::seq()
{
    return std::to_string(g_sequence.fetch_add(1) + 1);
}

double MrApiTool::systemVersion()
{
    return pf::Device::current().systemVersionFloat();
}

void MrApiTool::MoveAllWindowOutOfScreen(const std::vector<std::shared_ptr<pf::Window>>& kept, bool animation)
{
    moveAllWindows(kept, animation, 1);
}

void MrApiTool::MoveAllWindowIntoScreen(const std::vector<std::shared_ptr<pf::Window>>& kept, bool animation)
{
    moveAllWindows(kept, animation, -1);
}

void MrApiTool::moveAllWindows(const std::vector<std::shared_ptr<pf::Window>>& kept, bool animation, double direction)
{
    double width = pf::Screen::main().bounds().size.width;
    for (auto& window : pf::Window::windows()) {
        // Alerts and what sits above them belong to the system.
        if (!window || window->windowLevel() >= pf::WindowLevel::Alert)
            continue;
        if (std::find(kept.begin(), kept.end(), window) != kept.end())
            continue;
        pf::Rect frame = window->frame();
        frame.origin.x += direction * width;
        if (animation)
            MoveWindowAnimation(window, 0, frame, kSlideDuration, {});
        else
            window->setFrame(frame);
    }
}

void MrApiTool::MoveWindowAnimation(const std::shared_ptr<pf::Window>& window, int animationId, const pf::Rect& rect,
    double duration, const std::string& name)
{
    pf::Animation::beginAnimations(name);
    pf::Animation::setAnimationDuration(duration);
    if (animationId == 0 && window)
        window->setFrame(rect);
    pf::Animation::commitAnimations();
}

std::optional<pf::Value> MrApiTool::unwrapCallbackReply(std::string_view text)
{
    static constexpr std::string_view kPrefix = "callback";
    static constexpr size_t kHead = 10; // "callback( "
    static constexpr size_t kTail = 3;  // " );"
    if (text.substr(0, kPrefix.size()) == kPrefix) {
        if (text.size() < kHead + kTail)
            return std::nullopt;
        text = text.substr(kHead, text.size() - kHead - kTail);
    }
    auto value = pf::Json::parse(text);
    if (!value || !value->isDictionary() || value->size() == 0)
        return std::nullopt;
    return value;
}

std::shared_ptr<pf::ViewController> MrApiTool::topViewController(std::shared_ptr<pf::ViewController> controller)
{
    if (!controller)
        return nullptr;
    // A guard keeps a presentation cycle from hanging the caller.
    for (int step = 0; step < 64; ++step) {
        auto presented = controller->presentedViewController();
        if (!presented)
            break;
        controller = std::move(presented);
    }
    if (auto navigation = std::dynamic_pointer_cast<pf::NavigationController>(controller); navigation && navigation->topViewController())
        return navigation->topViewController();
    return controller;
}
