#pragma once

#include "sdk/lmconnect/MorrowJSRunEnv.h"
#include "sdk/lmconnect/MorrowScriptContext.h"

#include <duktape.h>

#include <string>
#include <vector>

// A stand-in for the hidden web view in these tests: a script engine with the few page
// objects the bridge's bootstrap uses (window, document.createElement("iframe"),
// document.body.appendChild, alert, console). Appending a frame asks `navigate` about its
// address at once, as the web view asks its delegate before a frame loads.
class DukScriptView : public MorrowScriptContext {
public:
    DukScriptView()
    {
        m_heap = duk_create_heap_default();
        duk_push_global_object(m_heap);
        duk_push_pointer(m_heap, this);
        duk_put_prop_string(m_heap, -2, DUK_HIDDEN_SYMBOL("view"));
        duk_push_c_function(m_heap, &DukScriptView::nativeNavigate, 1);
        duk_put_prop_string(m_heap, -2, "__navigate");
        duk_pop(m_heap);
        evaluateJavascript(R"JS(
            var window = this;
            var __alerts = [];
            function alert(text) { __alerts.push(String(text)); }
            var console = { log: function () {} };
            var document = {
                body: {
                    appendChild: function (frame) { frame.parentNode = document.body; __navigate(String(frame.src)); },
                    removeChild: function (frame) { frame.parentNode = null; }
                },
                createElement: function () { return { style: {}, src: "", onload: null, parentNode: null }; }
            };)JS");
    }
    ~DukScriptView() override { duk_destroy_heap(m_heap); }

    // Where frame navigations go (the run environment in these tests).
    MorrowJSRunEnv* runEnv { nullptr };
    std::vector<std::string> navigations;
    std::vector<std::string> errors;

    // The completion value as text: strings as they are, numbers and flags as the engine writes
    // them, anything else (and an error) empty.
    std::string evaluateJavascript(const std::string& script) override
    {
        std::string answer;
        if (duk_peval_lstring(m_heap, script.data(), script.size()) != 0) {
            errors.push_back(duk_safe_to_string(m_heap, -1));
        } else if (duk_is_string(m_heap, -1) || duk_is_number(m_heap, -1) || duk_is_boolean(m_heap, -1)) {
            answer = duk_safe_to_string(m_heap, -1);
        }
        duk_pop(m_heap);
        return answer;
    }

private:
    static duk_ret_t nativeNavigate(duk_context* ctx)
    {
        std::string url = duk_safe_to_string(ctx, 0);
        duk_push_global_object(ctx);
        duk_get_prop_string(ctx, -1, DUK_HIDDEN_SYMBOL("view"));
        auto* view = static_cast<DukScriptView*>(duk_get_pointer(ctx, -1));
        duk_pop_2(ctx);
        view->navigations.push_back(url);
        if (view->runEnv)
            view->runEnv->shouldStartLoadWithRequest(url);
        return 0;
    }

    duk_context* m_heap;
};
