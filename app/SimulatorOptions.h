#pragma once

#include <optional>
#include <string>
#include <vector>

// The command line of the simulator:
//
//   quorvane [--portal URL] [--forum URL] [--peers URL] [--vendor-apps LIST] [--home DIR]
//            [--device phone|pad] [--system-version TEXT] [--clock system|manual] [--script FILE|-]
//   quorvane --help | -h
//
// Rules:
// - `--help` (or `-h`) asks for the usage and nothing else: what follows it is not read. Every
//   other option takes a value; an option not listed here is refused as unknown, a word that is
//   no option as unexpected.
// - `--portal`, `--forum` and `--peers` are http or https addresses.
// - `--portal` is the API base address; the forum is the same server's root unless `--forum`
//   names another. Both are kept ending in "/".
// - `--peers` is the root of the local vendor-services server ("http://127.0.0.1:PORT/"), kept
//   ending in "/"; without it the client libraries keep their own (unreachable) servers.
// - `--system-version` is numbers separated by dots ("7", "6.1", "10.3.1").
// - `--vendor-apps` lists the stand-in messaging apps to install (VendorApps::parseList); all
//   four current ones when it is not given.
// - Without `--home` the simulator runs in a fresh temporary sandbox; an empty `--home` is
//   refused rather than taken for none. A `--home` whose folders cannot be made or written in
//   refuses the start (Simulator::start), with status 2 as for a bad argument: the session's
//   bookings and settings would all be lost.
// - `--script` is a file's path, or "-" for standard input; an empty one is refused.
// - The clock is manual when commands come from a script and the system's when a person types
//   them, unless `--clock` says otherwise.
struct SimulatorOptions {
    enum class Device { Phone, Pad };
    enum class ClockKind { System, Manual };

    std::string portal;
    std::string forum;
    std::string peers;
    std::vector<std::string> vendorApps;
    std::string home;
    Device device { Device::Phone };
    std::string systemVersion;
    std::optional<ClockKind> clock;
    std::optional<std::string> script;
    bool help { false };

    // The clock to use when `clock` is not set, given whether commands are typed by a person.
    ClockKind effectiveClock(bool interactive) const;

    // Parses the arguments after the program name; none with a reason in `error`.
    static std::optional<SimulatorOptions> parse(const std::vector<std::string>& args, std::string* error);
    // The root address ("http://host:port/") of an address; empty when it has no "scheme://host".
    static std::string rootOf(const std::string& url);
    // The command line's forms, for a mistake (on standard error) or `--help`.
    static std::string usage();
};
