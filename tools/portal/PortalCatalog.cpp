#include "tools/portal/PortalCatalog.h"

#include <array>

namespace portal {

namespace {

constexpr std::array<const char*, 14> kGames { "星海战纪", "青云仙录", "龙渊传说", "幻月物语", "剑影江湖",
    "机甲风暴", "萌宠大冒险", "三界奇缘", "铁骑争霸", "梦幻花园", "极速狂飙", "冰火魔域", "神木之森", "云端之城" };
constexpr std::array<const char*, 7> kKinds { "新手礼包", "独家礼包", "豪华礼包", "节日礼包", "公测礼包",
    "至尊礼包", "回归礼包" };
constexpr std::array<const char*, 7> kGenres { "角色扮演", "动作冒险", "休闲益智", "策略塔防", "赛车竞速",
    "卡牌对战", "模拟经营" };
constexpr std::array<const char*, 6> kContents { "金币×5000、强化石×20、初级经验药水×5",
    "钻石×100、高级坐骑体验卡×1、复活币×3", "体力药剂×10、稀有宝箱钥匙×2、专属称号“先锋”",
    "限定时装（7天）、技能书×3、银两×20000", "宠物蛋×1、宠物口粮×30、幸运符×2",
    "改装零件×8、氮气加速×5、赛车涂装“流光”" };

constexpr long long kDay = 86400;

}

int Gift::statusAt(long long now) const
{
    if (now >= endTime)
        return 3;
    if (now < startTime)
        return 0;
    return send < total ? 1 : 2;
}

const char* PortalCatalog::categoryName(int category)
{
    switch (category) {
    case 0: return "推荐";
    case 1: return "独家";
    case 2: return "最新";
    }
    return "";
}

PortalCatalog::PortalCatalog(long long now)
{
    // 25 + 21 + 21 gifts: every category has a second page.
    constexpr int kPerCategory[3] { 25, 21, 21 };
    int fid = 1001;
    int i = 0;
    bool reminderGiftPlaced = false;
    for (int category = 0; category < 3; ++category) {
        for (int n = 0; n < kPerCategory[category]; ++n, ++i, ++fid) {
            Gift g;
            g.fid = fid;
            g.category = category;
            g.game = kGames[static_cast<size_t>(i) % kGames.size()];
            const char* kind = kKinds[static_cast<size_t>(i / 3 + category) % kKinds.size()];
            g.title = g.game + kind;
            if (i % 17 != 13)
                g.type = kGenres[static_cast<size_t>(i) % kGenres.size()];
            g.info = std::string("礼包内容：") + kContents[static_cast<size_t>(i) % kContents.size()];
            g.desc = "进入《" + g.game + "》后，点击右上角“福利”按钮，在兑换码输入框中粘贴卡密即可领取。"
                     "每个账号限领一次，卡密有效期至活动结束。";
            g.startTime = now - (i + 1) * kDay;
            g.endTime = now + (30 + i) * kDay;
            g.total = 50 + (i * 37) % 450;
            g.send = (i * 13) % g.total;
            g.doom = i % 3;
            g.taoExt1 = i % 4;
            switch (i % 8) {
            case 0: // free
                break;
            case 1: // gold coins, reduced
                g.extcredits1 = 10 + (i % 5) * 10;
                g.ext1 = g.extcredits1 * 2;
                break;
            case 2: // forum points
                g.extcredits2 = 5 + (i % 4) * 5;
                g.ext2 = g.extcredits2 + 10;
                break;
            case 3: // opens later: the first one soon enough for the booking reminder
                g.startTime = reminderGiftPlaced ? now + (i % 6 + 1) * 3600 : now + kReminderGiftOpensIn;
                reminderGiftPlaced = true;
                g.send = 0;
                break;
            case 4: // codes all given out; released ones remain for pick-up
                g.send = g.total;
                for (int c = 0; c < 5; ++c)
                    g.releasedCodes.push_back("TH" + std::to_string(fid) + "-" + std::to_string(7310 + c * 17));
                break;
            case 5: // gold and points
                g.extcredits1 = 20;
                g.extcredits2 = 10;
                g.ext1 = 40;
                g.ext2 = 20;
                break;
            case 6: // ended
                g.startTime = now - 40 * kDay;
                g.endTime = now - (i % 3 + 1) * kDay;
                break;
            case 7: // almost gone
                g.total = 10;
                g.send = 9;
                break;
            }
            gifts.push_back(std::move(g));
        }
    }

    // Related gifts: others of the same game first, then neighbours in the same category.
    for (auto& g : gifts) {
        for (auto& other : gifts) {
            if (other.fid != g.fid && other.game == g.game && g.related.size() < 3)
                g.related.push_back(other.fid);
        }
        for (int step = 1; g.related.size() < 3 && step < 5; ++step) {
            int candidate = g.fid + step;
            for (auto& other : gifts) {
                if (other.fid == candidate && other.category == g.category)
                    g.related.push_back(candidate);
            }
        }
    }

    // The carousel shows the first open gifts of the first category.
    for (auto& g : gifts) {
        if (carousel.size() < 4 && g.category == 0 && g.statusAt(now) == 1)
            carousel.push_back({ g.fid, g.title + " 火热领取中", now - static_cast<long long>(carousel.size()) * kDay });
    }

    for (size_t n = 0; n < 8; ++n)
        hotWords.push_back({ gifts[n].fid, gifts[n].game });

    users = {
        { "demo", "demo123", "萌新玩家", 500, 300 },
        { "gamer", "gamer123", "礼包达人", 5000, 2000 },
        { "broke", "broke123", "两袖清风", 0, 0 },
        { "collector", "collector123", "收藏家", 100, 100, 25 },
    };
}

}
