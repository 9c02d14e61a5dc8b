#include "platform/web/CompiledScripts.h"

#include <gtest/gtest.h>

using namespace pf;

namespace {

std::vector<unsigned char> code(size_t size, unsigned char fill = 1)
{
    return std::vector<unsigned char>(size, fill);
}

}

TEST(CompiledScripts, EntriesAreFoundByExactNameAndTextAndTheLeastRecentlyUsedGoFirst)
{
    // "1:a" and a text of 7 make a key of 10 bytes; with 40 bytes of code an entry takes 50.
    CompiledScripts scripts(160);
    scripts.store("a", "var x=1", code(40, 1));
    ASSERT_TRUE(scripts.find("a", "var x=1"));
    EXPECT_EQ(*scripts.find("a", "var x=1"), code(40, 1));
    EXPECT_EQ(scripts.bytes(), 50u);
    struct Miss {
        const char* name;
        const char* text;
    };
    // The name is part of the key, and cannot borrow the text's first characters.
    for (const Miss& miss : { Miss { "b", "var x=1" }, Miss { "a", "var x=2" }, Miss { "a", "var x=1 " }, Miss { "", "avar x=1" },
             Miss { "1:a", "var x=1" } }) {
        EXPECT_FALSE(scripts.find(miss.name, miss.text)) << miss.name << " / " << miss.text;
    }

    // Storing the same script again replaces its code and counts it once.
    scripts.store("a", "var x=1", code(40, 2));
    EXPECT_EQ(*scripts.find("a", "var x=1"), code(40, 2));
    EXPECT_EQ(scripts.count(), 1u);
    EXPECT_EQ(scripts.bytes(), 50u);

    // A fourth entry does not fit: the one used longest ago goes, not the oldest stored.
    scripts.store("b", "var x=1", code(40));
    scripts.store("c", "var x=1", code(40));
    ASSERT_TRUE(scripts.find("a", "var x=1"));
    scripts.store("d", "var x=1", code(40));
    EXPECT_EQ(scripts.count(), 3u);
    EXPECT_LE(scripts.bytes(), 160u);
    EXPECT_TRUE(scripts.find("a", "var x=1"));
    EXPECT_FALSE(scripts.find("b", "var x=1"));
    EXPECT_TRUE(scripts.find("c", "var x=1"));
    EXPECT_TRUE(scripts.find("d", "var x=1"));

    // Code handed out stays valid after its entry has gone.
    auto held = scripts.find("c", "var x=1");
    scripts.store("e", "var x=1", code(100));
    EXPECT_FALSE(scripts.find("d", "var x=1"));
    EXPECT_EQ(*held, code(40));

    // An entry larger than the whole bound is not kept, and takes nothing with it.
    size_t count = scripts.count();
    scripts.store("f", "var x=1", code(200));
    EXPECT_FALSE(scripts.find("f", "var x=1"));
    EXPECT_EQ(scripts.count(), count);
}
