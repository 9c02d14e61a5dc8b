#include "app/SimulatorOptions.h"

#include "app/VendorApps.h"
#include "platform/foundation/AsciiText.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace {

std::string withSlash(std::string url)
{
    if (!url.empty() && url.back() != '/')
        url += '/';
    return url;
}

// Every option but --help takes a value.
constexpr std::string_view kValueOptions[] = { "--portal", "--forum", "--peers", "--vendor-apps", "--home", "--device",
    "--system-version", "--clock", "--script" };

// The app speaks HTTP only: any other scheme would fail at its first request, far from the
// command line that caused it.
bool isWebAddress(const std::string& url)
{
    if (SimulatorOptions::rootOf(url).empty())
        return false;
    std::string scheme = pf::AsciiText::lowercased(url.substr(0, url.find("://")));
    return scheme == "http" || scheme == "https";
}

// "7", "6.1", "10.3.1", as a phone reports it: anything else would reach the portal as typed and
// be read by the app's checks as some older system.
bool isVersion(const std::string& text)
{
    bool digitBefore = false;
    for (char c : text) {
        if (c == '.') {
            if (!digitBefore)
                return false;
            digitBefore = false;
        } else if (c >= '0' && c <= '9') {
            digitBefore = true;
        } else {
            return false;
        }
    }
    return digitBefore;
}

// The oldest system the client libraries run on: below 4 the LM Connect client never registers
// its scripts' objects, so no LZone share could ever work. Compared by the major number's
// digits, so a number of any length is read without overflow.
bool isBelowOldestSystem(const std::string& version)
{
    std::string_view major(version);
    major = major.substr(0, major.find('.'));
    while (major.size() > 1 && major.front() == '0')
        major.remove_prefix(1);
    return major.size() == 1 && major.front() < '4';
}

}

SimulatorOptions::ClockKind SimulatorOptions::effectiveClock(bool interactive) const
{
    if (clock)
        return *clock;
    return interactive ? ClockKind::System : ClockKind::Manual;
}

std::string SimulatorOptions::rootOf(const std::string& url)
{
    size_t scheme = url.find("://");
    if (scheme == std::string::npos || scheme == 0)
        return {};
    size_t hostStart = scheme + 3;
    size_t pathStart = url.find_first_of("/?#", hostStart);
    std::string root = url.substr(0, pathStart);
    if (root.size() == hostStart)
        return {};
    return root + "/";
}

std::string SimulatorOptions::usage()
{
    return "usage: quorvane [--portal URL] [--forum URL] [--peers URL] [--vendor-apps LIST] [--home DIR]\n"
           "                [--device phone|pad] [--system-version TEXT] [--clock system|manual] [--script FILE|-]\n"
           "       quorvane --help\n"
           "       LIST: parley,blip,blip1.0,lm,lzone (comma-separated), all or none\n"
           "       --clock: system is real time; manual moves only in wait and gestures, at once (a script's default)\n"
           "       --system-version: the device's system version, 4.0 or later (7.0 by default), sent with requests;\n"
           "           below 7, the older look\n";
}

std::optional<SimulatorOptions> SimulatorOptions::parse(const std::vector<std::string>& args, std::string* error)
{
    SimulatorOptions options;
    options.vendorApps = *VendorApps::parseList("all", nullptr);
    auto bad = [&](std::string reason) -> std::optional<SimulatorOptions> {
        if (error)
            *error = std::move(reason);
        return std::nullopt;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        }
        if (!arg.starts_with("-"))
            return bad("unexpected argument: " + arg);
        if (std::find(std::begin(kValueOptions), std::end(kValueOptions), arg) == std::end(kValueOptions))
            return bad("unknown option: " + arg);
        if (i + 1 >= args.size())
            return bad(arg + " needs a value");
        const std::string& value = args[++i];
        if (arg == "--portal") {
            if (!isWebAddress(value))
                return bad("--portal needs an http or https address such as http://127.0.0.1:8080/api/, not " + value);
            options.portal = withSlash(value);
        } else if (arg == "--forum") {
            if (!isWebAddress(value))
                return bad("--forum needs an http or https address such as http://127.0.0.1:8080/, not " + value);
            options.forum = withSlash(value);
        } else if (arg == "--peers") {
            if (!isWebAddress(value))
                return bad("--peers needs an http or https address such as http://127.0.0.1:8081/, not " + value);
            options.peers = withSlash(value);
        } else if (arg == "--vendor-apps") {
            std::string reason;
            auto names = VendorApps::parseList(value, &reason);
            if (!names)
                return bad(reason);
            options.vendorApps = std::move(*names);
        } else if (arg == "--home") {
            // An empty one would be taken as none: a temporary home, removed with every booking
            // at exit, where a kept one was asked for.
            if (value.empty())
                return bad("--home needs a folder's path, not an empty one");
            options.home = value;
        } else if (arg == "--device") {
            if (value == "phone")
                options.device = Device::Phone;
            else if (value == "pad")
                options.device = Device::Pad;
            else
                return bad("--device is phone or pad");
        } else if (arg == "--system-version") {
            if (!isVersion(value))
                return bad("--system-version needs numbers separated by dots such as 7.0 or 6.1, not \"" + value + "\"");
            if (isBelowOldestSystem(value))
                return bad("--system-version " + value + " is older than 4.0, the oldest system the app runs on");
            options.systemVersion = value;
        } else if (arg == "--clock") {
            if (value == "system")
                options.clock = ClockKind::System;
            else if (value == "manual")
                options.clock = ClockKind::Manual;
            else
                return bad("--clock is system or manual");
        } else if (arg == "--script") {
            if (value.empty())
                return bad("--script needs a file's path, or - for standard input, not an empty one");
            options.script = value;
        }
    }
    if (options.forum.empty() && !options.portal.empty())
        options.forum = rootOf(options.portal);
    return options;
}
