#pragma once

#include <optional>
#include <string>
#include <vector>

namespace portal {

// One gift pack of the sample portal. Its status is not stored: it follows from the time and
// the codes left (see `statusAt`).
struct Gift {
    int fid { 0 };
    int category { 0 };                 // 0 "推荐", 1 "独家", 2 "最新"
    std::string game;
    std::string title;
    std::optional<std::string> type;    // game genre; none is sent as JSON null
    std::string info;                   // what the pack holds
    std::string desc;                   // how to redeem it
    long long startTime { 0 };
    long long endTime { 0 };
    int draw { 1 };                     // claims allowed per user
    int doom { 0 };
    int extcredits1 { 0 };              // cost in gold coins
    int extcredits2 { 0 };              // cost in forum points
    int ext1 { 0 };                     // full prices before reduction
    int ext2 { 0 };
    int taoExt1 { 0 };
    int total { 0 };
    int send { 0 };
    std::vector<std::string> releasedCodes; // codes others gave back, handed out by "淘号"
    std::vector<int> related;

    // 0 booking (not open yet), 1 claim, 2 only released codes left, 3 ended.
    int statusAt(long long now) const;
};

struct CarouselEntry {
    int fid { 0 };
    std::string title;
    long long pubdate { 0 };
};

struct HotWord {
    int arcid { 0 };
    std::string title;
};

struct SampleUser {
    std::string username;
    std::string password;
    std::string nickname;
    int extcredits1 { 0 };
    int extcredits2 { 0 };
    int codesObtained { 0 }; // codes of open gifts the user holds from the start
};

// The sample data: gifts in three categories (enough to page past 20 in each), carousel
// entries, hot words and users. Times are laid out around `now`, so every status shows:
// gifts that open in a few minutes and in hours, open ones (free, gold, points, both), ones
// with only released codes left, and ended ones.
class PortalCatalog {
public:
    explicit PortalCatalog(long long now);

    std::vector<Gift> gifts;
    std::vector<CarouselEntry> carousel;
    std::vector<HotWord> hotWords;
    std::vector<SampleUser> users;

    static const char* categoryName(int category);

    // The first gift that opens later opens this many seconds after the catalogue is made (the
    // portal's start). The app's reminder looks each minute, from a minute after launch, at the
    // gifts opening two to three minutes ahead, and from then on misses none that opens later:
    // so an app launched within two minutes of the portal, as `scripts/run` does at once, shows
    // its banner within its first two minutes.
    static constexpr long long kReminderGiftOpensIn = 300;
};

}
