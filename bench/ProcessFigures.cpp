#include "bench/ProcessFigures.h"

#include "bench/ChildProcess.h"
#include "bench/MemoryFiles.h"
#include "tools/portal/PortalServer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

bool add(ProcessFigures::Samples& samples, const std::optional<ChildProcess::Outcome>& outcome, const std::string& what)
{
    if (!outcome || outcome->exitStatus != 0) {
        ++samples.failures;
        samples.lastFailure = what + (outcome ? " exited with status " + std::to_string(outcome->exitStatus) : " could not be started");
        return false;
    }
    samples.wallSeconds.push_back(outcome->wallSeconds);
    samples.cpuSeconds.push_back(outcome->cpuSeconds);
    samples.peakResidentMB.push_back(outcome->peakResidentMB);
    return true;
}

bool sameHeaderName(const std::string& a, const char* b)
{
    return std::equal(a.begin(), a.end(), b, b + std::char_traits<char>::length(b),
        [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y)); });
}

// What the app sent, as the floor program reads it. The transport's own headers are left to
// curl, which writes them itself.
nlohmann::json requestList(const std::vector<portal::ReceivedRequest>& received, const std::string& root)
{
    nlohmann::json list = nlohmann::json::array();
    for (const auto& r : received) {
        nlohmann::json headers = nlohmann::json::array();
        for (const auto& [name, value] : r.headers) {
            if (sameHeaderName(name, "Host") || sameHeaderName(name, "Content-Length") || sameHeaderName(name, "Connection")
                || sameHeaderName(name, "Transfer-Encoding"))
                continue;
            headers.push_back({ name, value });
        }
        std::string path = r.path.empty() || r.path[0] != '/' ? r.path : r.path.substr(1);
        list.push_back({ { "method", r.method }, { "url", root + path + (r.query.empty() ? "" : "?" + r.query) },
            { "headers", headers }, { "body", r.body } });
    }
    return list;
}

}

std::string ProcessFigures::tourOf(const std::string& scriptText)
{
    std::istringstream in(scriptText);
    std::string line, tour;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!inside) {
            inside = line.find("<<'TOUR'") != std::string::npos;
            continue;
        }
        if (line == "TOUR")
            return tour;
        tour += line + "\n";
    }
    return {};
}

ProcessFigures::Results ProcessFigures::measure(const Paths& paths, int rounds)
{
    Results results;
    // The app's home and files, and the tour's, lie in memory: a launch flushes its files about
    // twenty times before its first idle, and on a disk shared with other work those flushes
    // took half of a launch, more or less with the others' writes.
    MemoryFiles memory;
    portal::PortalServer server;
    if (!server.start()) {
        results.start.failures = results.startFloor.failures = results.tour.failures = 1;
        results.start.lastFailure = "the local portal could not listen";
        return results;
    }
    const std::vector<std::string> app { paths.app, "--portal", server.apiBaseURL(), "--script", "-" };
    const std::string startScript = "idle\nquit\n";
    const std::string requestsPath = paths.workFolder + "/start-requests.json";
    const std::string appOutput = paths.workFolder + "/quorvane-output.txt";

    // One launch first, to learn what the app asks for before its first idle (and to warm the
    // file cache for both programs).
    server.clearReceivedRequests();
    auto first = ChildProcess::runMetered(paths.meter, app, startScript, appOutput);
    if (!first || first->exitStatus != 0) {
        add(results.start, first, "quorvane");
        return results;
    }
    auto received = server.receivedRequests();
    results.startRequests = received.size();
    std::ofstream(requestsPath) << requestList(received, server.rootURL()).dump(1);
    const std::vector<std::string> floor { paths.startFloor, requestsPath };
    ChildProcess::runMetered(paths.meter, floor, {});

    for (int round = 0; round < rounds; ++round) {
        for (int pass = 0; pass < kPassesPerRound; ++pass) {
            for (size_t member : RoundSamples::passOrder(2, pass, round)) {
                if (member == 1) {
                    auto outcome = ChildProcess::runMetered(paths.meter, floor, {});
                    if (add(results.startFloor, outcome, "the start floor"))
                        results.rounds.add(kStartFloor, round, outcome->wallSeconds);
                    continue;
                }
                server.clearReceivedRequests();
                auto outcome = ChildProcess::runMetered(paths.meter, app, startScript, appOutput);
                if (!add(results.start, outcome, "quorvane"))
                    continue;
                if (server.receivedRequests().size() != results.startRequests) {
                    ++results.start.failures;
                    results.start.lastFailure = "quorvane sent " + std::to_string(server.receivedRequests().size())
                        + " requests before its first idle, not " + std::to_string(results.startRequests);
                    continue;
                }
                results.rounds.add(kStart, round, outcome->wallSeconds);
            }
        }
    }

    std::ifstream runScript(paths.runScript);
    std::string tour = tourOf(std::string(std::istreambuf_iterator<char>(runScript), std::istreambuf_iterator<char>()));
    if (tour.empty()) {
        results.tour.failures = 1;
        results.tour.lastFailure = "no tour in " + paths.runScript;
        return results;
    }
    for (int i = 0; i < std::max(1, rounds / 2); ++i)
        add(results.tour, ChildProcess::runMetered(paths.meter, app, tour, paths.workFolder + "/tour-output.txt"), "the tour");
    return results;
}

ProcessFigures::LaunchMemory ProcessFigures::measureLaunches(const Paths& paths, const std::string& sound, const std::string& damaged,
    int runs)
{
    LaunchMemory results;
    MemoryFiles memory;
    portal::PortalServer server;
    if (!server.start()) {
        results.clean.failures = results.mending.failures = 1;
        results.clean.lastFailure = results.mending.lastFailure = "the local portal could not listen";
        return results;
    }
    const std::filesystem::path home = std::filesystem::temp_directory_path() / ("quorvane-bench-home-" + std::to_string(::getpid()));
    const std::vector<std::string> app { paths.app, "--portal", server.apiBaseURL(), "--home", home.string(), "--script", "-" };
    for (int run = 0; run < runs; ++run) {
        for (size_t member : RoundSamples::passOrder(2, 0, run)) {
            const bool mending = member == 1;
            Samples& samples = mending ? results.mending : results.clean;
            std::error_code error;
            std::filesystem::remove_all(home, error);
            std::filesystem::create_directories(home / "Documents", error);
            if (error || !std::filesystem::copy_file(mending ? damaged : sound, home / "Documents" / "GameDatabase.sqlite", error)) {
                ++samples.failures;
                samples.lastFailure = "the store could not be put in the home: " + error.message();
                continue;
            }
            const auto outcome = ChildProcess::runMetered(paths.meter, app, "quit\n", paths.workFolder + "/launch-output.txt");
            if (!add(samples, outcome, mending ? "the mending launch" : "the clean launch"))
                continue;
            if (std::filesystem::exists(home / "Documents" / "GameDatabase.sqlite.corrupt") != mending) {
                samples.peakResidentMB.pop_back();
                ++samples.failures;
                samples.lastFailure = mending ? "the launch mended nothing" : "the launch mended the sound store";
            }
        }
    }
    std::error_code error;
    std::filesystem::remove_all(home, error);
    return results;
}
