#include "bench/BenchPages.h"

namespace {

const char* kHeadScript = R"JS(
var gifts = { list: [], byId: {} };
gifts.add = function (id, title, left) {
    var gift = { id: id, title: title, left: left, tags: String(title).split(" ") };
    gifts.list.push(gift);
    gifts.byId[id] = gift;
    return gift;
};
gifts.format = function (gift) {
    return "[" + gift.id + "] " + gift.title + " (" + gift.left + ")";
};
)JS";

const char* kMiddleScript = R"JS(
for (var i = 0; i < 300; i++)
    gifts.add(i, "礼包 " + i + " 新服 豪礼", (i * 37) % 500);
var summary = JSON.stringify(gifts.list.slice(0, 50));
)JS";

const char* kLinkedScript = R"JS(
gifts.sortByLeft = function () {
    return gifts.list.slice().sort(function (a, b) { return b.left - a.left || a.id - b.id; });
};
gifts.search = function (word) {
    var found = [];
    for (var i = 0; i < gifts.list.length; i++) {
        if (gifts.list[i].title.indexOf(word) >= 0)
            found.push(gifts.format(gifts.list[i]));
    }
    return found;
};
)JS";

const char* kTailScript = R"JS(
var best = gifts.sortByLeft().slice(0, 10);
var hits = gifts.search("29");
var parsed = JSON.parse(summary);
window.giftsReady = best.length === 10 && hits.length > 0 && parsed.length === 50;
)JS";

}

const std::string& BenchPages::webPage()
{
    static const std::string page = [] {
        std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>礼包中心</title>\n<script>";
        html += kHeadScript;
        html += "</script></head>\n<body><h1>礼包中心</h1><ul class=\"gifts\">\n";
        for (int i = 0; i < 500; ++i) {
            std::string n = std::to_string(i);
            html += "<li class=\"gift\" id=\"g" + n + "\"><a href=\"/gift/" + n + "\"><img src=\"icon" + n
                + ".png\" alt=\"\"><span class=\"title\">剑侠情缘 新服礼包 " + n + "</span></a><span class=\"left\">剩余 "
                + std::to_string((i * 37) % 500) + " 个</span><p>每日登录即可领取，数量有限，先到先得。</p></li>\n";
            if (i == 250) {
                html += "<script>";
                html += kMiddleScript;
                html += "</script>\n";
            }
        }
        html += "</ul>\n<script src=\"gifts.js\"></script>\n<script>";
        html += kTailScript;
        html += "</script></body></html>\n";
        return html;
    }();
    return page;
}

const std::string& BenchPages::linkedScript()
{
    static const std::string script = kLinkedScript;
    return script;
}
