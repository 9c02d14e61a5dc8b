#pragma once

#include "sdk/lmconnect/host/MorrowScriptText.h"

#include <memory>
#include <string>
#include <vector>

class MorrowJSRunEnv;

// Where the scripts run: the hidden web view's script evaluation. The answer is the completion
// value as text (empty for none or an error). Evaluation may be asked for again while a native
// function called from a script is running (the bridge answers that way).
class MorrowScriptContext {
public:
    virtual ~MorrowScriptContext() = default;
    virtual std::string evaluateJavascript(const std::string& script) = 0;
    // Calls the script function at `path` ("SendCmd.createClass") with string arguments; what
    // it returns, as text. By default through `evaluateJavascript`; a context that can call
    // without compiling text does so.
    virtual std::string callJavascriptFunction(const std::string& path, const std::vector<std::string>& arguments)
    {
        std::string script = path + "(";
        for (size_t i = 0; i < arguments.size(); ++i)
            script += (i ? "," : "") + MorrowScriptText::literal(arguments[i]);
        return evaluateJavascript(script + ")");
    }
    // Runs one of the host's own scripts, which every context it makes runs again (the installed
    // scripts, the bootstrap); `name` names it in errors. A context that can keep the compiled
    // form for the next one does so; by default through `evaluateJavascript`.
    virtual std::string loadScript(const std::string& script, const std::string& name) { return evaluateJavascript(script); }
    // Shows a page of its own made of `html`, with no base address. The page arrives later (its
    // finished load is reported as any other); a context without pages ignores it.
    virtual void loadHTMLString(const std::string& html) { }
    // The dispatcher that answers the context's navigation questions from now on.
    virtual void attachRunEnv(std::weak_ptr<MorrowJSRunEnv> runEnv) { }
};
