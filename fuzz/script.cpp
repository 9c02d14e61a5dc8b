// Simulator scripts: each line of the input through the command parser.
#include "app/ScriptCommand.h"
#include "fuzz/support/FuzzSupport.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    fuzz::FuzzInput input(data, size);
    while (!input.empty()) {
        std::string_view line = input.takeUntil('\n');
        std::string error;
        auto command = ScriptCommand::parse(line, &error);
        if (!command && error.empty())
            std::abort();
        if (command && command->kind == ScriptCommand::Kind::Wait
            && !(command->seconds >= 0 && command->seconds <= ScriptCommand::kMaxWaitSeconds))
            std::abort();
        ScriptCommand::words(line, &error);
    }
    return 0;
}
