#include "platform/foundation/QueryString.h"

#include <gtest/gtest.h>

namespace {

using pf::QueryString;
using Item = QueryString::Item;
using Items = std::vector<Item>;
using Escapes = QueryString::Escapes;
using Pieces = QueryString::Pieces;

// The readers the app has, each with the rules its peers rely on.
const QueryString::Rules kLenient {};                                              // URL queries
const QueryString::Rules kStrictPairs { .pieces = Pieces::WithOneEquals, .requireName = true,
    .names = Escapes::ResolvedOrSkipped, .values = Escapes::ResolvedOrSkipped };   // addresses other apps open
const QueryString::Rules kSignInReply { .pieces = Pieces::WithEquals, .valueEndsAtNextEquals = true,
    .names = Escapes::Kept, .values = Escapes::ResolvedOrKept };                    // the web sign-in's answers
const QueryString::Rules kBridgeArguments { .pieces = Pieces::WithEquals, .names = Escapes::Kept,
    .values = Escapes::ResolvedOrNone };                                            // script bridge calls
const QueryString::Rules kAsWritten { .names = Escapes::Kept, .values = Escapes::Kept }; // messaging answers
const QueryString::Rules kDialogAnswer { .pieces = Pieces::WithOneEquals, .names = Escapes::Kept,
    .values = Escapes::ResolvedOrKept };                                            // a dialog page's answer
const QueryString::Rules kBlipRedirect { .pieces = Pieces::WithOneEquals, .names = Escapes::ResolvedOrSkipped,
    .values = Escapes::ResolvedOrSkipped, .separators = "&;", .charset = pf::TextEncoding::Charset::GB18030 };
                                                                                    // a redirect read in GB18030

TEST(QueryString, EachReadersRulesOnTheSameTexts)
{
    struct Case {
        const char* what;
        const QueryString::Rules* rules;
        std::string text;
        Items expected;
    };
    const std::vector<Case> cases {
        { "lenient: all pieces, unescaped, repeats kept", &kLenient, "a=1&b&a=%E7%A4%BC&=v&&c=x=y",
            { { "a", "1" }, { "b", std::nullopt }, { "a", "礼" }, { "", "v" }, { "c", "x=y" } } },
        { "lenient: a broken escape stays as written", &kLenient, "%zz=50%&n%41=%41", { { "%zz", "50%" }, { "nA", "A" } } },
        { "lenient: plus is a plus", &kLenient, "q=a+b%2B", { { "q", "a+b+" } } },
        { "strict: one = and a name", &kStrictPairs, "a=1&b&=2&c=1=2&d=%20",
            { { "a", "1" }, { "d", " " } } },
        { "strict: a broken escape drops the pair", &kStrictPairs, "a=%&b%=1&c=%E4&d=ok", { { "d", "ok" } } },
        { "strict: a name unescaped", &kStrictPairs, "%41=%E5%A5%BD", { { "A", "好" } } },
        { "sign-in: the value ends at a second =", &kSignInReply, "a=1=2&b&%41=x&=e&c=%",
            { { "a", "1" }, { "%41", "x" }, { "", "e" }, { "c", "%" } } },
        { "bridge: values of pieces with =, in order", &kBridgeArguments, "x=1&y&z=%7B%22k%22%3A1%7D&w=a=b&v=%G1",
            { { "x", "1" }, { "z", "{\"k\":1}" }, { "w", "a=b" }, { "v", std::nullopt } } },
        { "as written: nothing unescaped", &kAsWritten, "a=%20&b&a=3", { { "a", "%20" }, { "b", std::nullopt }, { "a", "3" } } },
        { "dialog: one =, the name as written", &kDialogAnswer, "%41=%20&=x&b=1=2&c=%", { { "%41", " " }, { "", "x" }, { "c", "%" } } },
        { "GB18030: both separators, runs of escapes read in it", &kBlipRedirect, "a=%C0%F1;b=%E7%A4%BC&c=1;;%C3%FB=%",
            { { "a", "礼" }, { "c", "1" } } },
        { "nothing in nothing", &kLenient, "", {} },
        { "only separators", &kAsWritten, "&&&", {} },
    };
    for (const auto& c : cases)
        EXPECT_EQ(QueryString::parse(c.text, *c.rules), c.expected) << c.what;
}

TEST(QueryString, SeparatorsAndBounds)
{
    EXPECT_EQ(QueryString::afterSeparator("x://h/p?a=1#f", "?"), "a=1#f");
    EXPECT_EQ(QueryString::afterSeparator("a?#k=1&?#k=2", "?#"), "k=1&?#k=2"); // the first one only
    EXPECT_EQ(QueryString::afterSeparator("x://h/p?", "?"), "");
    EXPECT_FALSE(QueryString::afterSeparator("x://h/p", "?"));
    EXPECT_FALSE(QueryString::afterSeparator("x://h/p?a", ""));

    // Other apps' addresses and pasteboards: an over-long text gives nothing, and pieces past
    // the limit are not read.
    std::string longest = "a=" + std::string(QueryString::kMaximumLength - 2, 'x');
    EXPECT_EQ(QueryString::parse(longest, kLenient).size(), 1u);
    EXPECT_TRUE(QueryString::parse(longest + "y", kLenient).empty());
    // A reader with a bound of its own reads up to it, and no further.
    QueryString::Rules larger = kLenient;
    larger.maximumLength = longest.size() + 1;
    EXPECT_EQ(QueryString::parse(longest + "y", larger).at(0).value->size(), QueryString::kMaximumLength - 1);
    EXPECT_TRUE(QueryString::parse(longest + "yz", larger).empty());

    std::string many;
    for (size_t i = 0; i < QueryString::kMaximumPieces + 5; ++i)
        many += "k" + std::to_string(i) + "=v&";
    auto items = QueryString::parse(many, kLenient);
    ASSERT_EQ(items.size(), QueryString::kMaximumPieces);
    EXPECT_EQ(items.back().name, "k" + std::to_string(QueryString::kMaximumPieces - 1));
    // Empty and refused pieces count too, so a text of separators costs no more.
    EXPECT_TRUE(QueryString::parse(std::string(QueryString::kMaximumPieces, '&') + "a=1", kLenient).empty());
}

}
