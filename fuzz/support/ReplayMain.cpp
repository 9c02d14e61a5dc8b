// Replays fuzz inputs without libFuzzer: every file named on the command line, and every file
// in every folder named, goes once through the target's LLVMFuzzerTestOneInput. A fault shows
// up as the sanitizers' report and a non-zero exit. Missing folders are skipped (a target may
// have no saved crash inputs yet), but at least one input must have been found.
// `-rss_limit_mb=N`, as libFuzzer takes it: an input after which the process's peak resident size
// is past N MiB fails the replay (the peak is looked at after each input, not watched).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    std::vector<fs::path> inputs;
    long rssLimitMb = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("-rss_limit_mb=", 0) == 0) {
            rssLimitMb = std::stol(argument.substr(argument.find('=') + 1));
            continue;
        }
        fs::path path(argument);
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            for (const auto& entry : fs::directory_iterator(path))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else if (fs::is_regular_file(path, ec)) {
            inputs.push_back(path);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    for (const auto& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // A copy of exactly the input's size, so a read past its end is caught as it would be
        // under libFuzzer.
        auto* copy = new std::uint8_t[bytes.size() ? bytes.size() : 1];
        std::copy(bytes.begin(), bytes.end(), copy);
        LLVMFuzzerTestOneInput(copy, bytes.size());
        delete[] copy;
        rusage usage {};
        if (rssLimitMb > 0 && ::getrusage(RUSAGE_SELF, &usage) == 0 && usage.ru_maxrss > rssLimitMb * 1024) {
            std::fprintf(stderr, "%s: the process grew to %ld MiB, past its limit of %ld MiB\n", path.c_str(),
                usage.ru_maxrss / 1024, rssLimitMb);
            return 1;
        }
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
