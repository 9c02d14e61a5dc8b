#pragma once

namespace pf {

// The script side of a page's document and window: nodes, elements, the document, location,
// timers, events and forms, written in the page's own language so that the engine's garbage
// collector owns every node. `source()` is a function expression for
// `ScriptContext::installInternal`; it returns the web view's private handle on the page, whose
// `adopt(handle)` takes the document from a `DocumentTree` handle: its nodes are made as
// scripts reach them.
//
// The natives it expects: log(text), alert(text), navigate(address, kind), submit(method,
// action, pairs), frameNavigate(id, address), setTimer(id, ms, repeats), clearTimer(id),
// documentUrl(), parseFragment(html).
class DomPrelude {
public:
    static const char* source();
};

}
