#pragma once

#include <string>

// The made-up content the web view benchmark loads: a page of about 100 KB
// (a list of gifts) with three inline scripts and one linked one ("gifts.js"), none of which
// touches the document, so a bare script engine can run the same text.
class BenchPages {
public:
    static const std::string& webPage();
    static const std::string& linkedScript();
};
