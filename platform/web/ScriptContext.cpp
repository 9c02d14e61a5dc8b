#include "platform/web/ScriptContext.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/web/CompiledScripts.h"
#include "platform/web/ScriptText.h"

#include <duktape.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace pf {

namespace {

    constexpr int kMaxValueDepth = 32;
    constexpr size_t kMaxValueItems = 10000;
    constexpr int kMaxNestedRuns = 64;

    ScriptContext* contextOf(duk_context* ctx)
    {
        duk_memory_functions functions;
        duk_get_memory_functions(ctx, &functions);
        return static_cast<ScriptContext*>(functions.udata);
    }

    void* allocHook(void* udata, duk_size_t size) { return static_cast<ScriptContext*>(udata)->allocate(size); }
    void* reallocHook(void* udata, void* ptr, duk_size_t size) { return static_cast<ScriptContext*>(udata)->reallocate(ptr, size); }
    void freeHook(void* udata, void* ptr) { static_cast<ScriptContext*>(udata)->release(ptr); }

    void fatalHook(void*, const char* message)
    {
        // Only reached for an error outside every protected call, which this class never
        // makes: the engine's state can no longer be trusted.
        Log::format("script engine: fatal error: %s", message ? message : "(none)");
        std::abort();
    }

    // What one conversion may still take: items (beyond them values go missing) and bytes of
    // text (beyond them the conversion fails).
    struct ConversionBudget {
        size_t items { kMaxValueItems };
        size_t bytes { ScriptContext::kMaxValueBytes };
        bool overflow { false };
    };

    Value toValue(duk_context* ctx, duk_idx_t idx, int depth, ConversionBudget& budget)
    {
        if (budget.overflow)
            return Value();
        idx = duk_normalize_index(ctx, idx);
        switch (duk_get_type(ctx, idx)) {
        case DUK_TYPE_NULL:
            return Value::null();
        case DUK_TYPE_BOOLEAN:
            return Value(static_cast<bool>(duk_get_boolean(ctx, idx)));
        case DUK_TYPE_NUMBER: {
            double d = duk_get_number(ctx, idx);
            if (std::isfinite(d) && std::trunc(d) == d && std::fabs(d) < 9007199254740992.0 && !(d == 0 && std::signbit(d)))
                return Value(static_cast<long long>(d));
            return Value(d);
        }
        case DUK_TYPE_STRING: {
            duk_size_t len = 0;
            const char* s = duk_get_lstring(ctx, idx, &len);
            if (len > budget.bytes) {
                budget.overflow = true;
                return Value();
            }
            budget.bytes -= len;
            return Value(std::string(s, len));
        }
        case DUK_TYPE_OBJECT: {
            if (duk_is_function(ctx, idx) || depth >= kMaxValueDepth || budget.items == 0)
                return Value();
            duk_require_stack(ctx, 8);
            if (duk_is_array(ctx, idx)) {
                Array array;
                duk_size_t n = duk_get_length(ctx, idx);
                for (duk_size_t i = 0; i < n && budget.items > 0 && !budget.overflow; ++i) {
                    --budget.items;
                    duk_get_prop_index(ctx, idx, static_cast<duk_uarridx_t>(i));
                    array.push_back(toValue(ctx, -1, depth + 1, budget));
                    duk_pop(ctx);
                }
                return Value(std::move(array));
            }
            Dictionary dictionary;
            duk_enum(ctx, idx, DUK_ENUM_OWN_PROPERTIES_ONLY);
            while (budget.items > 0 && !budget.overflow && duk_next(ctx, -1, 1)) {
                --budget.items;
                duk_size_t len = 0;
                const char* key = duk_get_lstring(ctx, -2, &len);
                if (len > budget.bytes) {
                    budget.overflow = true;
                    duk_pop_2(ctx);
                    break;
                }
                budget.bytes -= len;
                Value v = toValue(ctx, -1, depth + 1, budget);
                if (key && !v.isMissing())
                    dictionary.set(std::string(key, len), std::move(v));
                duk_pop_2(ctx);
            }
            duk_pop(ctx);
            return Value(std::move(dictionary));
        }
        default:
            return Value();
        }
    }

    void pushValue(duk_context* ctx, const Value& value, int depth)
    {
        duk_require_stack(ctx, 4);
        switch (value.type()) {
        case Value::Type::Missing:
            duk_push_undefined(ctx);
            return;
        case Value::Type::Null:
            duk_push_null(ctx);
            return;
        case Value::Type::Bool:
            duk_push_boolean(ctx, value.boolValue());
            return;
        case Value::Type::Integer:
        case Value::Type::Real:
            duk_push_number(ctx, value.doubleValue());
            return;
        case Value::Type::String: {
            const std::string& s = *value.asString();
            duk_push_lstring(ctx, s.data(), s.size());
            return;
        }
        case Value::Type::Date:
            duk_push_number(ctx, value.asDate()->secondsSince1970());
            return;
        case Value::Type::Data: {
            const Bytes& b = *value.asData();
            duk_push_lstring(ctx, reinterpret_cast<const char*>(b.data()), b.size());
            return;
        }
        case Value::Type::Array: {
            if (depth >= kMaxValueDepth) {
                duk_push_undefined(ctx);
                return;
            }
            duk_idx_t arr = duk_push_array(ctx);
            duk_uarridx_t i = 0;
            for (const Value& item : *value.asArray()) {
                pushValue(ctx, item, depth + 1);
                duk_put_prop_index(ctx, arr, i++);
            }
            return;
        }
        case Value::Type::Dictionary: {
            if (depth >= kMaxValueDepth) {
                duk_push_undefined(ctx);
                return;
            }
            duk_idx_t obj = duk_push_object(ctx);
            for (const auto& [key, item] : *value.asDictionary()) {
                pushValue(ctx, item, depth + 1);
                duk_put_prop_lstring(ctx, obj, key.data(), key.size());
            }
            return;
        }
        }
        duk_push_undefined(ctx);
    }

    // The completion-value rule.
    std::string completionText(duk_context* ctx, duk_idx_t idx)
    {
        switch (duk_get_type(ctx, idx)) {
        case DUK_TYPE_STRING: {
            duk_size_t len = 0;
            const char* s = duk_get_lstring(ctx, idx, &len);
            return std::string(s, len);
        }
        case DUK_TYPE_NUMBER:
        case DUK_TYPE_BOOLEAN: {
            duk_dup(ctx, idx);
            std::string text = duk_safe_to_string(ctx, -1);
            duk_pop(ctx);
            return text;
        }
        default:
            return {};
        }
    }

    // Pushes `text` compiled as a program whose completion value is its result: loaded from
    // `CompiledScripts` when an earlier context compiled it, else compiled and stored there.
    void pushCompiled(duk_context* ctx, const std::string& name, const std::string& text)
    {
        if (auto known = CompiledScripts::shared().find(name, text)) {
            void* bytes = duk_push_fixed_buffer(ctx, known->size());
            std::memcpy(bytes, known->data(), known->size());
            duk_load_function(ctx);
            return;
        }
        duk_push_lstring(ctx, name.data(), name.size());
        duk_compile_lstring_filename(ctx, DUK_COMPILE_EVAL, text.data(), text.size());
        duk_dup_top(ctx);
        duk_dump_function(ctx);
        duk_size_t size = 0;
        auto* bytes = static_cast<const unsigned char*>(duk_get_buffer(ctx, -1, &size));
        CompiledScripts::shared().store(name, text, std::vector<unsigned char>(bytes, bytes + size));
        duk_pop(ctx);
    }

    struct SafeCall {
        std::function<void(duk_context*)> body;
        std::string error;
    };

    duk_ret_t runSafe(duk_context* ctx, void* udata)
    {
        static_cast<SafeCall*>(udata)->body(ctx);
        return 0;
    }

    // Runs `body` so that an error it throws is caught; returns whether it completed.
    bool safely(duk_context* ctx, std::function<void(duk_context*)> body, std::string* error = nullptr)
    {
        SafeCall call { std::move(body), {} };
        duk_idx_t top = duk_get_top(ctx);
        duk_int_t rc = duk_safe_call(ctx, runSafe, &call, 0, 1);
        bool ok = rc == DUK_EXEC_SUCCESS;
        if (!ok && error)
            *error = duk_safe_to_string(ctx, -1);
        duk_set_top(ctx, top);
        return ok;
    }

}

}

extern "C" int quorvane_script_interrupt(void* udata)
{
    return udata && static_cast<pf::ScriptContext*>(udata)->interruptRequested() ? 1 : 0;
}

namespace pf {

ScriptContext::ScriptContext(Limits limits)
    : m_limits(limits)
{
}

std::unique_ptr<ScriptContext> ScriptContext::create(Limits limits)
{
    std::unique_ptr<ScriptContext> context(new ScriptContext(limits));
    context->m_ctx = duk_create_heap(allocHook, reallocHook, freeHook, context.get(), fatalHook);
    if (!context->m_ctx) {
        Log::line("script engine: could not make a heap");
        return nullptr;
    }
    return context;
}

ScriptContext::~ScriptContext()
{
    // The engine's own teardown runs three full garbage collections over everything the page
    // still reaches (for finalizers, which nothing here sets), which costs more than building
    // a large page did. Every block of the heap came from `allocate`, and nothing outside the
    // heap points into it (native functions are owned here), so the blocks are let go directly.
    for (BlockHeader* block = m_blocks; block;) {
        BlockHeader* next = block->next;
        std::free(block);
        block = next;
    }
}

void ScriptContext::link(BlockHeader* block)
{
    block->previous = nullptr;
    block->next = m_blocks;
    if (m_blocks)
        m_blocks->previous = block;
    m_blocks = block;
}

void ScriptContext::unlink(BlockHeader* block)
{
    if (block->previous)
        block->previous->next = block->next;
    else
        m_blocks = block->next;
    if (block->next)
        block->next->previous = block->previous;
}

void* ScriptContext::allocate(size_t size)
{
    if (size == 0)
        size = 1;
    if (size > m_limits.memoryBytes || m_memory + size > m_limits.memoryBytes)
        return nullptr;
    auto* block = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
    if (!block)
        return nullptr;
    block->size = size;
    link(block);
    m_memory += size;
    return block + 1;
}

void ScriptContext::release(void* ptr)
{
    if (!ptr)
        return;
    auto* block = static_cast<BlockHeader*>(ptr) - 1;
    unlink(block);
    m_memory -= block->size;
    std::free(block);
}

void* ScriptContext::reallocate(void* ptr, size_t size)
{
    if (!ptr)
        return allocate(size);
    if (size == 0) {
        release(ptr);
        return nullptr;
    }
    auto* block = static_cast<BlockHeader*>(ptr) - 1;
    size_t old = block->size;
    if (size > old && (size > m_limits.memoryBytes || m_memory - old + size > m_limits.memoryBytes))
        return nullptr;
    // Out of the list while realloc may move it; back in wherever it lands (or where it was).
    unlink(block);
    auto* grown = static_cast<BlockHeader*>(std::realloc(block, sizeof(BlockHeader) + size));
    if (!grown) {
        link(block);
        return nullptr;
    }
    grown->size = size;
    link(grown);
    m_memory = m_memory - old + size;
    return grown + 1;
}

bool ScriptContext::interruptRequested()
{
    if (m_budgets.empty())
        return false;
    Budget& b = m_budgets.back();
    if (!b.exceeded && Clock::now() > b.deadline)
        b.exceeded = true;
    return b.exceeded;
}

double ScriptContext::turnShareLeft() const
{
    if (m_limits.turnShareSeconds <= 0)
        return m_limits.budgetSeconds;
    if (m_turnPass != RunLoop::main().passCount())
        return m_limits.turnShareSeconds;
    double used = m_turnUsed;
    if (!m_budgets.empty()) // the outermost run under way counts too
        used += std::chrono::duration<double>(Clock::now() - m_runStarted).count();
    return std::max(0.0, m_limits.turnShareSeconds - used);
}

double ScriptContext::remainingBudget() const
{
    if (m_budgets.empty())
        return m_limits.budgetSeconds;
    return std::max(0.0, std::chrono::duration<double>(m_budgets.back().deadline - Clock::now()).count());
}

void ScriptContext::chargeTurn(Clock::time_point started)
{
    if (m_limits.turnShareSeconds <= 0)
        return;
    std::uint64_t pass = RunLoop::main().passCount();
    if (m_turnPass != pass) {
        m_turnPass = pass;
        m_turnUsed = 0;
    }
    m_turnUsed += std::chrono::duration<double>(Clock::now() - started).count();
}

void ScriptContext::log(const std::string& line) const
{
    if (m_logSink)
        m_logSink(line);
    else
        Log::line(line);
}

ScriptContext::Outcome ScriptContext::run(const std::function<void(duk_context*)>& protectedCall, std::string_view name, bool wantValue, double minimumBudget)
{
    Outcome out;
    if (m_depth >= kMaxNestedRuns) {
        out.error = "script runs nested too deeply";
        log("script: " + std::string(name) + " not run: " + out.error);
        return out;
    }
    // A run gets its budget (at least `minimumBudget`), but no more than its caller has left.
    const Clock::time_point started = Clock::now();
    const double own = std::max(m_limits.budgetSeconds, minimumBudget);
    const double allowed = m_budgets.empty() ? own : std::min(remainingBudget(), own);
    if (allowed <= 0) {
        out.outOfBudget = true;
        out.error = "not run: the caller's budget is spent";
        log("script: " + std::string(name) + " " + out.error);
        return out;
    }
    const bool outermost = m_budgets.empty();
    if (outermost)
        m_runStarted = started;
    duk_context* ctx = m_ctx;
    duk_idx_t top = duk_get_top(ctx);
    m_budgets.push_back(Budget { started + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(allowed)), false });
    ++m_depth;
    // The whole run, set-up included, is protected: even a failing push cannot escape.
    struct Body {
        const std::function<void(duk_context*)>* call;
    } body { &protectedCall };
    int rc = duk_safe_call(
        ctx, [](duk_context* c, void* udata) -> duk_ret_t {
            (*static_cast<Body*>(udata)->call)(c);
            return 1;
        },
        &body, 0, 1);
    --m_depth;
    Budget budget = m_budgets.back();
    m_budgets.pop_back();
    if (outermost)
        chargeTurn(started);
    if (rc == DUK_EXEC_SUCCESS) {
        out.ok = true;
        out.text = completionText(ctx, -1);
        if (!wantValue) {
            duk_set_top(ctx, top);
            return out;
        }
        ConversionBudget conversion;
        Value value;
        // Reading an object may run its getters; a failing one leaves the value missing.
        safely(ctx, [&](duk_context* c) {
            duk_dup(c, top);
            value = toValue(c, -1, 0, conversion);
        });
        if (conversion.overflow)
            log("script: " + std::string(name) + " answered more than " + std::to_string(kMaxValueBytes) + " bytes: dropped");
        else
            out.value = std::move(value);
    } else {
        out.outOfBudget = budget.exceeded;
        if (budget.exceeded) {
            char text[96];
            std::snprintf(text, sizeof text, "stopped: ran longer than its budget of %g s", allowed);
            out.error = text;
        } else {
            out.error = duk_safe_to_string(ctx, -1);
        }
        log("script: " + std::string(name) + " failed: " + out.error);
    }
    duk_set_top(ctx, top);
    return out;
}

ScriptContext::Outcome ScriptContext::evaluate(std::string_view source, std::string_view name)
{
    std::string text = ScriptText::validUtf8(source);
    std::string fileName(name);
    return run(
        [&](duk_context* ctx) {
            duk_push_lstring(ctx, fileName.data(), fileName.size());
            duk_compile_lstring_filename(ctx, DUK_COMPILE_EVAL, text.data(), text.size());
            duk_call(ctx, 0);
        },
        name, false);
}

ScriptContext::Outcome ScriptContext::evaluateKeepingCompiled(std::string_view source, std::string_view name)
{
    std::string text = ScriptText::validUtf8(source);
    std::string fileName(name);
    return run(
        [&](duk_context* ctx) {
            pushCompiled(ctx, fileName, text);
            duk_call(ctx, 0);
        },
        name, false);
}

ScriptContext::Outcome ScriptContext::call(const std::string& path, const std::vector<Value>& arguments)
{
    return run(
        [&](duk_context* ctx) {
            duk_push_global_object(ctx);
            size_t start = 0;
            for (size_t dot; (dot = path.find('.', start)) != std::string::npos; start = dot + 1) {
                duk_get_prop_lstring(ctx, -1, path.data() + start, dot - start);
                duk_remove(ctx, -2);
            }
            duk_get_prop_lstring(ctx, -1, path.data() + start, path.size() - start);
            duk_swap_top(ctx, -2); // function, this
            for (const Value& a : arguments)
                pushValue(ctx, a, 0);
            duk_call_method(ctx, static_cast<duk_idx_t>(arguments.size()));
        },
        path, false);
}

int ScriptContext::nativeTrampoline(duk_context* ctx)
{
    ScriptContext* self = contextOf(ctx);
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, DUK_HIDDEN_SYMBOL("native"));
    auto* entry = static_cast<NativeEntry*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    if (!entry)
        return 0;
    duk_idx_t count = duk_get_top(ctx);
    std::vector<Value> arguments;
    ConversionBudget conversion;
    for (duk_idx_t i = 0; i < count; ++i)
        arguments.push_back(toValue(ctx, i, 0, conversion));
    if (conversion.overflow) {
        arguments.clear();
        return duk_error(ctx, DUK_ERR_RANGE_ERROR, "arguments of more than %lu bytes", static_cast<unsigned long>(kMaxValueBytes));
    }
    NativeFunction function = entry->function; // a re-registration during the call cannot pull it away
    Value result;
    std::string failure;
    bool failed = false;
    // The native call's time is the script's: its budget keeps running.
    try {
        result = function(arguments);
    } catch (const std::exception& e) {
        failed = true;
        failure = e.what();
    }
    if (self->interruptRequested()) {
        // Spent during the call: stop here rather than at the script's next check.
        duk_push_error_object(ctx, DUK_ERR_RANGE_ERROR, "execution timeout");
        return duk_throw(ctx);
    }
    if (failed) {
        duk_push_error_object(ctx, DUK_ERR_ERROR, "%s", failure.c_str());
        return duk_throw(ctx);
    }
    pushValue(ctx, result, 0);
    return 1;
}

namespace {
    // Pushes a function that calls `entry` through the trampoline.
    void pushNative(duk_context* ctx, void* entry, duk_c_function trampoline)
    {
        duk_push_c_function(ctx, trampoline, DUK_VARARGS);
        duk_push_pointer(ctx, entry);
        duk_put_prop_string(ctx, -2, DUK_HIDDEN_SYMBOL("native"));
    }
}

void ScriptContext::registerFunction(const std::string& path, NativeFunction function)
{
    m_natives.push_back(std::make_unique<NativeEntry>(NativeEntry { std::move(function) }));
    void* entry = m_natives.back().get();
    std::string error;
    bool ok = safely(
        m_ctx,
        [&](duk_context* ctx) {
            duk_push_global_object(ctx);
            size_t start = 0;
            for (;;) {
                size_t dot = path.find('.', start);
                std::string part = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
                if (dot == std::string::npos) {
                    pushNative(ctx, entry, &ScriptContext::nativeTrampoline);
                    duk_put_prop_lstring(ctx, -2, part.data(), part.size());
                    break;
                }
                duk_get_prop_lstring(ctx, -1, part.data(), part.size());
                if (!duk_is_object(ctx, -1) || duk_is_function(ctx, -1)) {
                    duk_pop(ctx);
                    duk_push_object(ctx);
                    duk_dup_top(ctx);
                    duk_put_prop_lstring(ctx, -3, part.data(), part.size());
                }
                duk_remove(ctx, -2);
                start = dot + 1;
            }
        },
        &error);
    if (!ok)
        log("script: function " + path + " not registered: " + error);
}

bool ScriptContext::installInternal(std::string_view source, const std::vector<std::pair<std::string, NativeFunction>>& natives)
{
    std::vector<void*> entries;
    for (const auto& [name, function] : natives) {
        m_natives.push_back(std::make_unique<NativeEntry>(NativeEntry { function }));
        entries.push_back(m_natives.back().get());
    }
    std::string text(source);
    Outcome out = run(
        [&](duk_context* ctx) {
            // Every page installs the same prelude: compiling it costs more than a small page's
            // own scripts, so later contexts load what the first one compiled.
            pushCompiled(ctx, "internal", text);
            duk_call(ctx, 0);
            duk_push_global_object(ctx);
            duk_push_object(ctx);
            for (size_t i = 0; i < natives.size(); ++i) {
                pushNative(ctx, entries[i], &ScriptContext::nativeTrampoline);
                duk_put_prop_string(ctx, -2, natives[i].first.c_str());
            }
            duk_call(ctx, 2);
            duk_push_global_stash(ctx);
            duk_dup(ctx, -2);
            duk_put_prop_string(ctx, -2, "internal");
            duk_pop(ctx);
        },
        "internal", false, kSetUpBudgetSeconds);
    m_hasInternal = out.ok;
    return out.ok;
}

ScriptContext::Outcome ScriptContext::callInternal(const std::string& method, const std::vector<Value>& arguments)
{
    return callInternalWithBudget(method, arguments, 0);
}

ScriptContext::Outcome ScriptContext::callInternalToSetUp(const std::string& method, const std::vector<Value>& arguments)
{
    return callInternalWithBudget(method, arguments, kSetUpBudgetSeconds);
}

ScriptContext::Outcome ScriptContext::callInternalToSetUp(const std::string& method, const ArgumentPusher& push)
{
    return callInternalPushing(
        method,
        [&](duk_context* ctx) {
            push(ctx);
            return 1;
        },
        kSetUpBudgetSeconds);
}

ScriptContext::Outcome ScriptContext::callInternalWithBudget(const std::string& method, const std::vector<Value>& arguments, double minimumBudget)
{
    return callInternalPushing(
        method,
        [&](duk_context* ctx) {
            for (const Value& a : arguments)
                pushValue(ctx, a, 0);
            return static_cast<int>(arguments.size());
        },
        minimumBudget);
}

ScriptContext::Outcome ScriptContext::callInternalPushing(const std::string& method, const std::function<int(duk_hthread*)>& push, double minimumBudget)
{
    if (!m_hasInternal) {
        Outcome out;
        out.error = "no internal object";
        return out;
    }
    return run(
        [&](duk_context* ctx) {
            duk_push_global_stash(ctx);
            duk_get_prop_string(ctx, -1, "internal");
            duk_remove(ctx, -2);
            duk_get_prop_lstring(ctx, -1, method.data(), method.size());
            duk_swap_top(ctx, -2); // function, this
            int count = push(ctx);
            duk_call_method(ctx, count);
        },
        method, true, minimumBudget);
}

}
