#include "app/CommandInterpreter.h"
#include "app/CommandTable.h"
#include "app/Simulator.h"

#include "core/AppInfoConfiguration.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TestHttpServer.h"
#include "platform/ui/Label.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

using Kind = ScriptCommand::Kind;

// A line of the form as a person would type it: each placeholder of its arguments filled in,
// each literal word ("fling") kept.
std::string sampleLine(const CommandForm& form)
{
    std::string line;
    for (auto& w : form.words)
        line += w + " ";
    size_t tokens = 0;
    for (size_t at = 0; at < form.arguments.size();) {
        size_t end = std::min(form.arguments.find(' ', at), form.arguments.size());
        std::string token = form.arguments.substr(at, end - at);
        bool literal = std::all_of(token.begin(), token.end(), [](char c) { return c >= 'a' && c <= 'z'; });
        line += (literal ? token : form.words[0] == "help" ? "tap" : "1") + " ";
        ++tokens;
        at = end + 1;
    }
    EXPECT_EQ(tokens, form.argumentCount) << form.form() << ": what help shows is what the parser counts";
    return line;
}

TEST(CommandTableTest, HelpListsExactlyTheFormsTheParserAccepts)
{
    std::string all = CommandTable::help();
    size_t lines = 0;
    for (char c : all)
        lines += c == '\n';
    EXPECT_EQ(lines, CommandTable::forms().size()) << all;

    for (const auto& form : CommandTable::forms()) {
        std::string error;
        auto command = ScriptCommand::parse(sampleLine(form), &error);
        ASSERT_TRUE(command) << sampleLine(form) << ": " << error;
        EXPECT_EQ(command->kind, form.kind) << sampleLine(form);
        EXPECT_NE(all.find("  " + form.form() + " "), std::string::npos) << form.form();
        EXPECT_NE(all.find(form.summary + "\n"), std::string::npos) << form.summary;

        auto own = CommandTable::help(form.words[0]);
        ASSERT_TRUE(own) << form.words[0];
        EXPECT_NE(own->find(form.form()), std::string::npos);
        for (const auto& other : CommandTable::forms()) {
            if (other.words[0] != form.words[0]) {
                EXPECT_EQ(own->find("  " + other.words[0] + " "), std::string::npos) << "help " << form.words[0] << " lists " << other.form();
            }
        }
    }
    EXPECT_FALSE(CommandTable::help("fly"));

    std::string error;
    auto help = ScriptCommand::parse("help tap", &error);
    ASSERT_TRUE(help);
    EXPECT_EQ(help->kind, Kind::Help);
    EXPECT_EQ(help->text, "tap");
    EXPECT_FALSE(ScriptCommand::parse("help tap row", &error));
    EXPECT_EQ(error, "usage: help or help COMMAND");
}

TEST(CommandTableTest, AMisspeltNameFindsTheNearestCommandAndAStrangeOneNone)
{
    for (auto [typed, meant] : { std::pair { "tpa", "tap" }, { "dmup", "dump" }, { "hlep", "help" }, { "scrol", "scroll" },
             { "pul", "pull" }, { "qiut", "quit" }, { "wiat", "wait" }, { "Back", "back" }, { "pasetboard", "pasteboard" },
             { "fly", "" }, { "x", "" }, { "", "" }, { "zzzzzz", "" } })
        EXPECT_EQ(CommandTable::nearest(typed), meant) << typed;
}

TEST(CommandTableTest, CompletionOffersNamesKeywordsAndTheScreensTextsQuoted)
{
    const std::vector<std::string> screen { "推荐", "独家", "say \"hi\"", "two\nlines", "推荐" };
    struct Case {
        std::string before;
        size_t start;
        std::vector<std::string> candidates;
    };
    for (const auto& c : std::vector<Case> {
             { "", 0, CommandTable::names() },
             { "  du", 2, { "dump" } },
             { "p", 0, { "pull", "pasteboard" } },
             { "zz", 0, {} },
             { "scroll b", 7, { "bottom" } },
             { "open ", 5, { "mygifts" } },
             { "tap ", 4, { "tag", "row", "image", "\"推荐\"", "\"独家\"", R"("say \"hi\"")" } },
             { "tap \"独", 4, { "\"独家\"" } },
             { "tap \"say \\\"", 4, { R"("say \"hi\"")" } },
             { "tap r", 4, { "row" } },
             { "type \"name\" ", 0, {} },
             { "dump ", 5, {} },
         }) {
        auto found = CommandTable::complete(c.before, screen);
        EXPECT_EQ(found.candidates, c.candidates) << c.before;
        if (!c.candidates.empty()) {
            EXPECT_EQ(found.start, c.start) << c.before;
        }
    }
}

// A person at a terminal is told more than a script: the command they probably meant, and why
// a text they can read about cannot be tapped.
TEST(CommandTableTest, AnExplainingInterpreterSaysWhatWasMeantAndWhyATapMissed)
{
    pf::TaskEnvironment env;
    pf::UIEnvironment::reset();
    pf::TestHttpServer server;
    server.reply("POST", "/api/ka/list", 200, R"({"ret":0,"body":[]})", "application/json");
    server.reply("POST", "/api/arc/lun", 200, R"({"ret":0,"body":[]})", "application/json");
    AppInfoConfiguration::sharedInstance()->setApiBaseURL(server.url("/api/"));
    auto window = Simulator::showFirstScreen();
    auto hidden = std::make_shared<pf::Label>(pf::Rect { 10, 100, 100, 20 });
    hidden->setText("藏起来");
    hidden->setHidden(true);
    auto away = std::make_shared<pf::Label>(pf::Rect { 10, 2000, 100, 20 });
    away->setText("屏幕外");
    window->addSubview(hidden);
    window->addSubview(away);

    std::ostringstream out;
    CommandInterpreter interpreter(out);
    auto run = [&](const std::string& line) {
        out.str({});
        interpreter.execute(line);
        return out.str();
    };
    EXPECT_EQ(run("tpa"), "error: unknown command: tpa\n") << "scripts keep their messages";
    EXPECT_EQ(run("tap \"藏起来\""), "error: nothing shows \"藏起来\"\n");

    interpreter.setExplaining(true);
    EXPECT_EQ(run("tpa \"推荐\""), "error: unknown command: tpa; did you mean tap?\n");
    EXPECT_EQ(run("fly"), "error: unknown command: fly\n");
    EXPECT_EQ(run("help tpa"), "error: no command tpa; did you mean tap?\n");
    EXPECT_NE(run("tap \"藏起来\"").find("is hidden or transparent"), std::string::npos) << out.str();
    EXPECT_NE(run("tap \"屏幕外\"").find("is outside the screen"), std::string::npos) << out.str();
    EXPECT_EQ(run("tap \"no such text\""), "error: nothing shows \"no such text\"\n");
    EXPECT_EQ(interpreter.failures(), 8);

    window->setHidden(true);
    window.reset();
    pf::UIEnvironment::reset();
}

}
