#pragma once

#include <memory>
#include <string>

class MorrowJSRunEnv;

// Where the scripts run: the hidden web view's script evaluation. The answer is the completion
// value as text (empty for none or an error). Evaluation may be asked for again while a native
// function called from a script is running (the bridge answers that way).
class MorrowScriptContext {
public:
    virtual ~MorrowScriptContext() = default;
    virtual std::string evaluateJavascript(const std::string& script) = 0;
    // The dispatcher that answers the context's navigation questions from now on.
    virtual void attachRunEnv(std::weak_ptr<MorrowJSRunEnv> runEnv) { }
};
