#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pf {
class ViewController;
class Window;
struct Rect;
}

// Class-level helpers of the LM Connect client: the SDK information sent with every Open API
// call, the address builder, the URL-scheme check, the token scramble, a sequence number, the
// system version and the slides of the app's windows while an SDK window is shown.
//
// Rules:
// - The address builder escapes as UTF-8 every character never legal in a URL and the list
//   "!*();:&=+$,/?%#[]": an ASCII apostrophe and "@" stay as they are (the request layer's list
//   escapes both). It starts the query with "?", or with "&" when the address has one already.
// - The scramble works on 16-bit character codes; it is its own inverse only for tokens whose
//   characters lie below 256.
// - `seq` is atomic and may be called from any thread; the slides are for the main thread.
class MrApiTool {
public:
    static constexpr const char* kSDKInfoKeySDKV = "sdkv";
    static constexpr const char* kSDKInfoKeySDKP = "sdkp";
    static constexpr const char* kSDKInfoKeyStatusOS = "status_os";
    static constexpr const char* kSDKInfoKeyStatusMachine = "status_machine";
    static constexpr const char* kSDKInfoKeyStatusVersion = "status_version";
    static constexpr const char* kSDKInfoSDKVersion = "2.2";
    static constexpr const char* kSDKInfoSDKPlatform = "i";
    static constexpr double kSlideDuration = 0.3;

    // Five texts, made afresh on each call.
    static pf::Dictionary SDKInfo();
    // The hardware model; "i386" when the device does not say.
    static std::string MROSDKdeviceMachine();

    // The address with the texts of `params` as its query, in their order; none without an
    // address, the address itself for no parameters.
    static std::optional<std::string> GetURLWithParam(const std::optional<std::string>& url, const pf::Dictionary& params);
    // The address builder's escaping of one value.
    static std::string escapeQueryValue(std::string_view text);

    // Whether the app's information list names `scheme` among its URL types (exact match);
    // malformed entries are skipped.
    static bool isRegistSchemeInfoPlistFile(const std::optional<std::string>& scheme);
    // The scripts' form: "YES" or "NO" for the entry "appSchema", none without one.
    static std::optional<std::string> jsIsRegistSchemeInfoPlistFile(const pf::Value& arguments);
    // The information list's "morrowSDKResource" when it is a dictionary.
    static std::optional<pf::Dictionary> getAppDefinePath();

    static std::optional<std::string> encryAccessToken(const std::optional<std::string>& token, std::string_view key);
    static std::optional<std::string> decodeAccessToken(const std::optional<std::string>& token, std::string_view key);
    // The byte value of exactly two hexadecimal digits; 0 for any other length.
    static int NSString16toNSNumber(std::string_view text);
    // An even number (2 to 16) of lower-case hexadecimal digits from the cryptographic source.
    static std::string random16Str();

    // "1", "2", ... for the life of the process.
    static std::string seq();
    static double systemVersion();

    // Moves every shown window but those in `kept` and the system's (alert level and above) one
    // screen width to the right ("out") or back to the left ("into").
    // The controller shown on top of `controller`: the chain of presented controllers followed to
    // its end, a presented navigation controller standing for its top controller.
    static std::shared_ptr<pf::ViewController> topViewController(std::shared_ptr<pf::ViewController> controller);
    static void MoveAllWindowOutOfScreen(const std::vector<std::shared_ptr<pf::Window>>& kept, bool animation);
    static void MoveAllWindowIntoScreen(const std::vector<std::shared_ptr<pf::Window>>& kept, bool animation);
    // One named animation block of `duration`; the frame changes only for animation id 0.
    static void MoveWindowAnimation(const std::shared_ptr<pf::Window>& window, int animationId, const pf::Rect& rect,
        double duration, const std::string& name);

    // The JSON object of a reply that may be wrapped as "callback( {...} );": a text starting
    // with "callback" loses its first 10 and last 3 characters. None when the rest is no
    // object with keys, or when a wrapped text is too short to cut.
    static std::optional<pf::Value> unwrapCallbackReply(std::string_view text);

private:
    static void moveAllWindows(const std::vector<std::shared_ptr<pf::Window>>& kept, bool animation, double direction);
};
