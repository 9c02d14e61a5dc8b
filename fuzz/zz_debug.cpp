#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Json.h"
#include <cstdio>
static void dump(const char* tag, const pf::Value& v) {
    fprintf(stderr, "%s %s\n", tag, pf::Json::write(v).c_str());
    if (auto d = v.asDictionary()) for (auto& [k, x] : *d) { fprintf(stderr, "  key %zu type %d\n", k.size(), (int)x.type()); if (x.asReal()) fprintf(stderr, "   real %.17g\n", *x.asReal()); if (x.asDate()) fprintf(stderr, "   date %.17g\n", x.asDate()->secondsSince1970); if (x.asInteger()) fprintf(stderr, "   int %lld\n", (long long)*x.asInteger());}
}
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto value = pf::PropertyList::parse(fuzz::bytes(data, size));
    if (!value) return 0;
    dump("IN", *value);
    for (auto f : { pf::PropertyList::Format::Binary, pf::PropertyList::Format::Xml }) {
        std::string err;
        auto w = pf::PropertyList::write(*value, f, &err);
        if (!w) { fprintf(stderr, "write %d fails: %s\n", (int)f, err.c_str()); continue; }
        auto back = pf::PropertyList::parse(*w, &err);
        if (!back) { fprintf(stderr, "reparse %d fails: %s\n", (int)f, err.c_str()); fwrite(w->data(), 1, w->size(), stderr); continue; }
        dump(f == pf::PropertyList::Format::Xml ? "XML" : "BIN", *back);
        if (f == pf::PropertyList::Format::Xml) fwrite(w->data(), 1, w->size(), stderr);
    }
    return 0;
}
