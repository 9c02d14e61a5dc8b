#include "app/ScriptCommand.h"
#include "app/SimulatorOptions.h"

#include <gtest/gtest.h>

namespace {

using Kind = ScriptCommand::Kind;

ScriptCommand parsed(const std::string& line)
{
    std::string error;
    auto command = ScriptCommand::parse(line, &error);
    EXPECT_TRUE(command) << line << ": " << error;
    return command.value_or(ScriptCommand {});
}

std::string refusal(const std::string& line)
{
    std::string error;
    auto command = ScriptCommand::parse(line, &error);
    EXPECT_FALSE(command) << line;
    return error;
}

TEST(ScriptCommandTest, QuotedWordsKeepBlanksAndEscapes)
{
    auto words = ScriptCommand::words(R"(type  "用户 名"  "a \"b\" \\c")");
    ASSERT_TRUE(words);
    EXPECT_EQ(*words, (std::vector<std::string> { "type", "用户 名", R"(a "b" \c)" }));
    EXPECT_EQ(*ScriptCommand::words(R"(tap "")"), (std::vector<std::string> { "tap", "" }));

    std::string error;
    EXPECT_FALSE(ScriptCommand::words(R"(tap "unclosed)", &error));
    EXPECT_EQ(error, "unclosed quote");
}

TEST(ScriptCommandTest, EveryCommandForm)
{
    for (auto [line, kind] : { std::pair { "", Kind::None }, { "   # a comment", Kind::None }, { "dump", Kind::Dump },
             { "pull", Kind::Pull }, { "back", Kind::Back }, { "idle", Kind::Idle }, { "pasteboard", Kind::Pasteboard },
             { "quit", Kind::Quit }, { "scroll bottom", Kind::ScrollBottom } })
        EXPECT_EQ(parsed(line).kind, kind) << line;

    auto tap = parsed(R"(tap "最新")");
    EXPECT_EQ(tap.kind, Kind::TapText);
    EXPECT_EQ(tap.text, "最新");
    // A quoted "tag" is a text to find, not the keyword.
    EXPECT_EQ(parsed(R"(tap "tag")").kind, Kind::TapText);

    auto tag = parsed("tap tag 101");
    EXPECT_EQ(tag.kind, Kind::TapTag);
    EXPECT_EQ(tag.tag, 101);

    auto row = parsed("tap row 7");
    EXPECT_EQ(row.kind, Kind::TapRow);
    EXPECT_EQ(row.section, 0);
    EXPECT_EQ(row.row, 7);
    auto sectionRow = parsed("tap row 2:3");
    EXPECT_EQ(sectionRow.section, 2);
    EXPECT_EQ(sectionRow.row, 3);

    auto type = parsed(R"(type "username" "萌萌")");
    EXPECT_EQ(type.kind, Kind::Type);
    EXPECT_EQ(type.text, "username");
    EXPECT_EQ(type.input, "萌萌");
    EXPECT_EQ(parsed(R"(clear "password")").text, "password");

    auto wait = parsed("wait 1.5");
    EXPECT_EQ(wait.kind, Kind::Wait);
    EXPECT_DOUBLE_EQ(wait.seconds, 1.5);

    EXPECT_EQ(parsed("menu").kind, Kind::Menu);
    auto drag = parsed("drag -150 fling");
    EXPECT_EQ(drag.kind, Kind::Drag);
    EXPECT_EQ(drag.distance, -150);
    EXPECT_TRUE(drag.fling);
    EXPECT_FALSE(parsed("drag 120").fling);
}

TEST(ScriptCommandTest, MalformedLinesAreRefusedWithAReason)
{
    EXPECT_EQ(refusal("fly away"), "unknown command: fly");
    EXPECT_NE(refusal("dump now"), "");
    EXPECT_NE(refusal("tap"), "");
    EXPECT_NE(refusal("tap tag ten"), "");
    EXPECT_NE(refusal("tap row -1"), "");
    EXPECT_NE(refusal("tap row 1:"), "");
    for (const char* line : { "menu open", "drag", "drag far", "drag 321", "drag 10 slowly" })
        EXPECT_NE(refusal(line), "") << line;
    EXPECT_NE(refusal("tap row 1:2:3"), "");
    EXPECT_NE(refusal("wait"), "");
    EXPECT_NE(refusal("wait -1"), "");
    EXPECT_NE(refusal("wait nan"), "");
    EXPECT_NE(refusal("wait 1e400"), "");
    EXPECT_NE(refusal("wait 1e308"), "") << "would keep the clock running for ever";
    EXPECT_DOUBLE_EQ(parsed("wait 3600").seconds, 3600);
    EXPECT_NE(refusal("scroll top"), "");
    EXPECT_NE(refusal(R"(type "only one")"), "");
    EXPECT_EQ(refusal(R"(tap "x)"), "unclosed quote");
}

// A bare keyword is the keyword, even where its argument is missing; a quoted word is a text.
TEST(ScriptCommandTest, TapKeywordsWithoutTheirArgumentAreRefusedAsABareTapIs)
{
    const std::string bareTap = refusal("tap");
    EXPECT_EQ(bareTap, R"(usage: tap "TEXT", tap tag N, tap row [S:]N or tap image "NAME")");
    for (const char* keyword : { "tag", "row", "image" }) {
        SCOPED_TRACE(keyword);
        EXPECT_EQ(refusal(std::string("tap ") + keyword), bareTap);
        auto quoted = parsed(std::string("tap \"") + keyword + "\"");
        EXPECT_EQ(quoted.kind, Kind::TapText);
        EXPECT_EQ(quoted.text, keyword);
        EXPECT_EQ(refusal(std::string("tap \"") + keyword + "\" 3"), bareTap) << "a quoted word is never the keyword";
    }
    EXPECT_EQ(refusal(R"(scroll "bottom")"), "usage: scroll bottom");
}

TEST(ScriptCommandTest, PictureTapsAndTheMyGiftsShortcut)
{
    auto image = parsed(R"(tap image "back.png")");
    EXPECT_EQ(image.kind, Kind::TapImage);
    EXPECT_EQ(image.text, "back.png");
    EXPECT_EQ(parsed(R"(tap "image")").kind, Kind::TapText) << "a quoted word is a text to find";
    EXPECT_EQ(parsed("open mygifts").kind, Kind::OpenMyGifts);
    EXPECT_NE(refusal(R"(tap image "")"), "");
    EXPECT_NE(refusal("open"), "");
    EXPECT_NE(refusal("open settings"), "");
}

TEST(SimulatorOptionsTest, PortalAndForumAddresses)
{
    std::string error;
    auto options = SimulatorOptions::parse({ "--portal", "http://127.0.0.1:8080/api" }, &error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->portal, "http://127.0.0.1:8080/api/");
    EXPECT_EQ(options->forum, "http://127.0.0.1:8080/") << "the forum is the same server";

    options = SimulatorOptions::parse({ "--forum", "http://127.0.0.1:9/bbs", "--portal", "http://127.0.0.1:8080/api/" }, &error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->forum, "http://127.0.0.1:9/bbs/");

    EXPECT_EQ(SimulatorOptions::rootOf("http://h:1/a/b?c"), "http://h:1/");
    EXPECT_EQ(SimulatorOptions::rootOf("http://h"), "http://h/");
    EXPECT_EQ(SimulatorOptions::rootOf("http://"), "");
    EXPECT_EQ(SimulatorOptions::rootOf("no-scheme"), "");
    EXPECT_FALSE(SimulatorOptions::parse({ "--portal", "127.0.0.1:8080" }, &error));
}

TEST(SimulatorOptionsTest, DeviceClockScriptAndMistakes)
{
    std::string error;
    auto options = SimulatorOptions::parse({ "--device", "pad", "--system-version", "6.1", "--script", "-", "--home", "/tmp/h" }, &error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->device, SimulatorOptions::Device::Pad);
    EXPECT_EQ(options->systemVersion, "6.1");
    EXPECT_EQ(options->home, "/tmp/h");
    EXPECT_EQ(options->effectiveClock(false), SimulatorOptions::ClockKind::Manual) << "scripts run on a manual clock";
    EXPECT_EQ(options->effectiveClock(true), SimulatorOptions::ClockKind::System);

    options = SimulatorOptions::parse({ "--clock", "system" }, &error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->effectiveClock(false), SimulatorOptions::ClockKind::System);

    EXPECT_FALSE(SimulatorOptions::parse({ "--device", "watch" }, &error));
    EXPECT_FALSE(SimulatorOptions::parse({ "--clock", "fast" }, &error));
    EXPECT_FALSE(SimulatorOptions::parse({ "--script" }, &error));
    EXPECT_EQ(error, "--script needs a value");
    EXPECT_FALSE(SimulatorOptions::parse({ "--verbose", "x" }, &error));
    EXPECT_EQ(error, "unknown option: --verbose");
}

// The version is compared number by number, as a phone's is; anything else would reach the
// portal's requests and the screens' checks as it was typed.
TEST(SimulatorOptionsTest, TheSystemVersionIsNumbersSeparatedByDots)
{
    std::string error;
    for (const char* version : { "6.1", "7", "10.3.1", "7.0", "4", "4.0", "4.3.5", "40.1", "004.3" }) {
        auto options = SimulatorOptions::parse({ "--system-version", version }, &error);
        ASSERT_TRUE(options) << version << ": " << error;
        EXPECT_EQ(options->systemVersion, version);
    }
    // Below 4 the LM Connect client registers nothing its scripts call: no LZone share could work.
    for (const char* version : { "3.1", "3", "0.9", "03.99" }) {
        error.clear();
        EXPECT_FALSE(SimulatorOptions::parse({ "--system-version", version }, &error)) << version;
        EXPECT_EQ(error, std::string("--system-version ") + version + " is older than 4.0, the oldest system the app runs on");
    }
    for (const char* version : { "abc", "", "7.", ".7", "7..1", "-7", "7.0a", " 7", "7 ", "+7", "٧" }) {
        error.clear();
        EXPECT_FALSE(SimulatorOptions::parse({ "--system-version", version }, &error)) << version;
        EXPECT_EQ(error.rfind("--system-version ", 0), 0u) << version << ": " << error;
    }
}

TEST(SimulatorOptionsTest, VendorServicesAndStandInApps)
{
    std::string error;
    auto options = SimulatorOptions::parse({ "--peers", "http://127.0.0.1:9" }, &error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->peers, "http://127.0.0.1:9/");
    EXPECT_EQ(options->vendorApps, (std::vector<std::string> { "parley", "blip", "lm", "lzone" })) << "all of them unless told";
    EXPECT_FALSE(SimulatorOptions::parse({ "--peers", "127.0.0.1:9" }, &error));

    struct Case {
        std::string list;
        std::optional<std::vector<std::string>> apps;
    };
    const std::vector<Case> cases {
        { "none", std::vector<std::string> {} },
        { "parley,blip1.0", std::vector<std::string> { "parley", "blip1.0" } },
        { "lm,lzone", std::vector<std::string> { "lm", "lzone" } },
        { "parley,,lm", std::nullopt },
        { "blip,blip1.0", std::nullopt }, // one Blip at a time
        { "pager", std::nullopt },
    };
    for (const auto& c : cases) {
        auto parsed = SimulatorOptions::parse({ "--vendor-apps", c.list }, &error);
        EXPECT_EQ(parsed.has_value(), c.apps.has_value()) << c.list;
        if (parsed && c.apps) {
            EXPECT_EQ(parsed->vendorApps, *c.apps) << c.list;
        }
    }
}

}
