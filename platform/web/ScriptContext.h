#pragma once

#include "platform/foundation/Value.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct duk_hthread;

namespace pf {

// One script engine heap: a global object, the functions native code put there, and the
// limits that keep an untrusted script from taking the app down with it.
//
// Rules:
// - Main thread only. Every run is protected: a script that throws, runs out of memory or
//   overruns its budget ends with an error, never a crash.
// - Budget: each evaluation and each call into the context may run for `budgetSeconds`,
//   native calls it makes included. A nested evaluation (one a native function starts) gets
//   its own budget, but never more than its caller has left. When the budget is spent the run
//   is stopped for good: the script cannot catch it. Built-ins that walk huge arrays or
//   strings are stopped the same way, not only script code.
//   Setting a page up (our own prelude, and building its document) may take at least
//   `kSetUpBudgetSeconds` whatever the page's budget: it is our code on bounded input, and a
//   busy machine must not turn a tight page budget into a page with no script context.
// - Turn share: with `turnShareSeconds` above zero, the context counts the time its outermost
//   runs take in each pass of the main loop; `turnShareLeft` tells its owner what is left,
//   so that work the script scheduled itself can wait for a later pass.
// - Memory: the heap may hold `memoryBytes`; beyond that allocations fail and the script gets
//   an error.
// - Re-entrant: a native function may evaluate more script in the same context.
// - Native functions receive their arguments as values (undefined is missing; objects and
//   arrays are converted up to a fixed depth and count, functions are missing) and hand back
//   a value. Arguments above `kMaxValueBytes` of text in all (a string counts each time it is
//   used) give the script an error instead; a result that large leaves the value missing.
//   A native function that throws gives the script an Error with the exception's text.
class ScriptContext {
public:
    struct Limits {
        double budgetSeconds { 2.0 };
        size_t memoryBytes { 64u << 20 };
        double turnShareSeconds { 0 };
    };
    static constexpr size_t kMaxValueBytes = 16u << 20;

    // The completion value of a run and whether it ended normally.
    struct Outcome {
        bool ok { false };
        // The completion value as text: strings as they are, numbers and booleans as the
        // script's own String() gives them, anything else (and an error) "".
        std::string text;
        // The value of `callInternal` (see class comment for the conversion); `evaluate`
        // leaves it missing.
        Value value;
        // Why the run failed ("TypeError: ...", or that the budget ran out).
        std::string error;
        bool outOfBudget { false };
    };

    using NativeFunction = std::function<Value(const std::vector<Value>& arguments)>;

    // Null when the engine cannot make a heap.
    static std::unique_ptr<ScriptContext> create(Limits limits);
    static std::unique_ptr<ScriptContext> create() { return create(Limits {}); }
    ~ScriptContext();
    ScriptContext(const ScriptContext&) = delete;
    ScriptContext& operator=(const ScriptContext&) = delete;

    const Limits& limits() const { return m_limits; }
    // Where the context's lines (failed runs, with the script's error) go: the log unless the
    // owner takes them, as a web view does to bound what a page can make the app print.
    using LogSink = std::function<void(std::string_view line)>;
    void setLogSink(LogSink sink) { m_logSink = std::move(sink); }
    void setBudget(double seconds) { m_limits.budgetSeconds = seconds; }
    void setTurnShare(double seconds) { m_limits.turnShareSeconds = seconds; }
    // Seconds of script time the run under way has left, or a new run would get.
    double remainingBudget() const;
    // Seconds of this pass's share left (the whole budget when no share is set).
    double turnShareLeft() const;

    // Runs `source` as a program. `name` appears in error messages.
    Outcome evaluate(std::string_view source, std::string_view name = "script");
    // The same for the app's own scripts that every new context runs again (never a page's):
    // the first run's bytecode is kept for the process (`CompiledScripts`) and later runs of
    // the same text and name load it instead of compiling. Each run still makes its own
    // functions and values in this context.
    Outcome evaluateKeepingCompiled(std::string_view source, std::string_view name = "script");

    // Calls the function at `path` ("a.b.f": found from the global object, called on "a.b")
    // with `arguments`, as `evaluate` would run "a.b.f(arguments...)" but without compiling
    // text; the outcome's text is what the function returns.
    Outcome call(const std::string& path, const std::vector<Value>& arguments);

    // Puts a native function on the global object. A dotted name ("app.log") makes or reuses
    // the objects on the way; registering a name again replaces the function.
    void registerFunction(const std::string& path, NativeFunction function);

    // The private side of the context, out of reach of the scripts it runs: `source` must be a
    // function expression; it is called with the global object and an object holding
    // `natives`, and what it returns is kept as the internal object.
    bool installInternal(std::string_view source, const std::vector<std::pair<std::string, NativeFunction>>& natives);
    // Calls a method of the internal object with `arguments`.
    Outcome callInternal(const std::string& method, const std::vector<Value>& arguments = {});
    // The same, for setting the page up: the run may take `kSetUpBudgetSeconds`.
    static constexpr double kSetUpBudgetSeconds = 10;
    Outcome callInternalToSetUp(const std::string& method, const std::vector<Value>& arguments = {});
    // The same, with one argument that `push` puts on the engine's stack: for native code that
    // makes script values itself (a document's nodes, see DocumentTree).
    using ArgumentPusher = std::function<void(duk_hthread*)>;
    Outcome callInternalToSetUp(const std::string& method, const ArgumentPusher& push);

    // How many runs are under way (nested runs count each).
    int depth() const { return m_depth; }
    // Bytes the heap holds now.
    size_t memoryInUse() const { return m_memory; }

    // Used by the engine's allocation and interrupt hooks.
    void* allocate(size_t size);
    void* reallocate(void* ptr, size_t size);
    void release(void* ptr);
    bool interruptRequested();

private:
    explicit ScriptContext(Limits limits);

    using Clock = std::chrono::steady_clock;
    struct Budget {
        Clock::time_point deadline;
        bool exceeded { false };
    };
    struct NativeEntry {
        NativeFunction function;
    };
    // What precedes every block the engine gets: its size and its neighbours in the list of
    // the heap's blocks, so the whole heap can be let go at once.
    struct alignas(std::max_align_t) BlockHeader {
        size_t size;
        BlockHeader* previous;
        BlockHeader* next;
    };
    void link(BlockHeader* block);
    void unlink(BlockHeader* block);

    Outcome run(const std::function<void(duk_hthread*)>& protectedCall, std::string_view name, bool wantValue, double minimumBudget = 0);
    void log(const std::string& line) const;
    Outcome callInternalWithBudget(const std::string& method, const std::vector<Value>& arguments, double minimumBudget);
    // `push` puts the arguments on the stack and tells how many there are.
    Outcome callInternalPushing(const std::string& method, const std::function<int(duk_hthread*)>& push, double minimumBudget);
    static int nativeTrampoline(duk_hthread* ctx);
    void chargeTurn(Clock::time_point started);

    Limits m_limits;
    LogSink m_logSink;
    duk_hthread* m_ctx { nullptr };
    size_t m_memory { 0 };
    BlockHeader* m_blocks { nullptr };
    int m_depth { 0 };
    std::vector<Budget> m_budgets;
    std::vector<std::unique_ptr<NativeEntry>> m_natives;
    bool m_hasInternal { false };
    std::uint64_t m_turnPass { 0 };
    double m_turnUsed { 0 };
    Clock::time_point m_runStarted {};

    friend struct ScriptContextAccess;
};

}
