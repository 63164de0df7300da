// The configuration file reader: each line's effect and the exact sequence of
// messages and calls it produces.
#include "unit/config_fake.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

using namespace configtest;
using namespace std::string_literals;

namespace {

typedef std::vector<std::string> Events;

class ConfigReader : public ::testing::Test {
protected:
    void SetUp() override { eventLog().clear(); }

    bool read(const std::string& text) {
        std::istringstream in(text);
        return config.loadFromStream(in);
    }

    FakeConfiguration config;
};

TEST_F(ConfigReader, EmptyAndCommentOnlyInputAddsNothing) {
    EXPECT_TRUE(read(""));
    EXPECT_TRUE(read("# only\n\n   \t\n#group g\n  # a.tga\n"));
    EXPECT_TRUE(eventLog().empty());
    EXPECT_TRUE(config.allGroups().empty());
}

TEST_F(ConfigReader, MixedFileThroughLoad) {
    const std::string path = TA_TEST_SCRATCH "/reader_mixed.cfg";
    std::ofstream(path) << "# header\n"
                           "group trees width 1024 height 512 format DXT1 miplevels 4 border 2 # note\n"
                           "leaf.tga border\n"
                           "\tbark.tga   # border\n"
                           "\n"
                           "group rocks\n"
                           "sub\\stone.tga border border\n"
                           "missing.tga\n"
                           "moss.tga\n";
    EXPECT_TRUE(config.load(path.c_str()));
    EXPECT_EQ(eventLog(),
              (Events{"addGroup trees 1024 512 'DXT1' 4 2", "addTexture leaf.tga border", "addTexture bark.tga",
                      "addGroup rocks 0 0 '' 0 1", "addTexture sub\\stone.tga border", "addTexture missing.tga",
                      "warning: Failed to load texture: missing.tga", "addTexture moss.tga"}));
    const auto& groups = config.allGroups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].textures[0].rect.width, 68);
    EXPECT_FALSE(groups[0].textures[1].border);
    ASSERT_EQ(groups[1].textures.size(), 2u);
    EXPECT_EQ(groups[1].textures[0].name, "sub/stone.tga");
    EXPECT_EQ(config.current(), &config.allGroups()[1]);
}

TEST_F(ConfigReader, GroupLinesWithoutAUsableName) {
    EXPECT_FALSE(read("group a\nx.tga\ngroup\ny.tga\ngroup b\n"));
    EXPECT_EQ(eventLog(), (Events{"addGroup a 0 0 '' 0 1", "addTexture x.tga", "error: Expected group name."}));

    eventLog().clear();
    EXPECT_FALSE(read("group # note\n"));
    EXPECT_EQ(eventLog(), (Events{"warning: Unknown texture flag 'note'", "error: Expected group name."}));

    eventLog().clear();
    EXPECT_FALSE(read("group #x width 5\n"));
    EXPECT_EQ(eventLog(), (Events{"error: Expected group name."}));
    EXPECT_EQ(config.allGroups().size(), 1u);
}

TEST_F(ConfigReader, KeywordsSwallowAndStopAsWritten) {
    EXPECT_TRUE(
        read("group g width 256 height 128 border 2\n"
             "group g format miplevels 2\n"
             "group width 5\n"
             "group h width 5 width 6 format A8 format #x border -3 height +7\n"
             "group f format\n"
             "group u bogus width 9\n"));
    EXPECT_EQ(eventLog(), (Events{"addGroup g 256 128 '' 0 2", "warning: Unknown texture flag '2'",
                                  "addGroup g 0 0 'miplevels' 0 1", "warning: Unknown texture flag '5'",
                                  "addGroup width 0 0 '' 0 1", "addGroup h 6 7 '#x' 0 -3", "addGroup f 0 0 '' 0 1",
                                  "warning: Unknown texture flag 'bogus'", "addGroup u 0 0 '' 0 1"}));
}

TEST_F(ConfigReader, IntegersParseLikeAStream) {
    EXPECT_TRUE(
        read("group a width 12abc height 3\n"
             "group b width 99999999999 height 5\n"
             "group c width 10 width 2147483648 height 5\n"
             "group d width -2147483648 height 2147483647\n"
             "group e width x height 5\n"
             "group f border\n"
             "group g width - 5\n"
             "group h width 0x10 height 007\n"
             "group i miplevels 00000000000000000000002 border 1.5\n"));
    EXPECT_EQ(eventLog(),
              (Events{"warning: Unknown texture flag 'abc'", "addGroup a 12 0 '' 0 1", "addGroup b 0 0 '' 0 1",
                      "addGroup c 10 0 '' 0 1", "addGroup d -2147483648 2147483647 '' 0 1", "addGroup e 0 0 '' 0 1",
                      "addGroup f 0 0 '' 0 1", "addGroup g 0 0 '' 0 1", "warning: Unknown texture flag 'x10'",
                      "addGroup h 0 0 '' 0 1", "warning: Unknown texture flag '.5'", "addGroup i 0 0 '' 2 1"}));
}

TEST_F(ConfigReader, TextureLinesAndTheDefaultGroup) {
    EXPECT_TRUE(
        read("Group g\n"
             "a.tga border extra border\n"
             "b.tga # border\n"
             "c.tga\tborder\r\n"
             "group#x\n"));
    EXPECT_EQ(eventLog(),
              (Events{"warning: No group specified. Using 'default'.", "addGroup default 0 0 '' 0 1",
                      "warning: Unknown texture flag 'g'", "addTexture Group", "warning: Unknown texture flag 'extra'",
                      "addTexture a.tga border", "addTexture b.tga", "addTexture c.tga border", "addTexture group#x"}));
    ASSERT_EQ(config.allGroups().size(), 1u);
    EXPECT_EQ(config.allGroups()[0].textures.size(), 5u);
}

TEST_F(ConfigReader, AppendsToWhatIsThereAndUsesTheCurrentGroup) {
    config.addGroup("host", 0, 0, "", 0, 1);
    config.addGroup("other", 0, 0, "", 0, 1);
    config.setGroup("host");
    eventLog().clear();
    const std::string text = "a.tga\ngroup g\nb.tga\ngroup g\nc.tga\n";
    EXPECT_TRUE(read(text));
    EXPECT_TRUE(read(text));
    const auto& groups = config.allGroups();
    ASSERT_EQ(groups.size(), 6u);
    EXPECT_EQ(groups[0].textures.size(), 1u);
    EXPECT_EQ(groups[1].textures.size(), 0u);
    EXPECT_EQ(groups[3].textures[0].name, "c.tga");
    // The second read's first line goes to the group the first read ended in.
    EXPECT_EQ(groups[3].textures.size(), 2u);
    EXPECT_EQ(groups[3].textures[1].name, "a.tga");
    for (const std::string& event : eventLog()) EXPECT_EQ(event.find("warning"), std::string::npos) << event;
}

TEST_F(ConfigReader, LineLengthLimitIs1022Characters) {
    const std::string longest(1022, 'x');
    EXPECT_TRUE(read("group g\n" + longest + "\nafter.tga\n"));
    ASSERT_EQ(config.allGroups()[0].textures.size(), 2u);
    EXPECT_EQ(config.allGroups()[0].textures[0].name, longest);

    eventLog().clear();
    EXPECT_TRUE(read(longest + "yz border\nnever.tga\ngroup\n"));
    EXPECT_EQ(eventLog(), (Events{"addTexture " + longest}));

    // The cut can fall among the flags too: "zz" lies beyond it.
    eventLog().clear();
    EXPECT_TRUE(read(std::string(1014, 'w') + " border zz"));
    EXPECT_EQ(eventLog(), (Events{"addTexture " + std::string(1014, 'w') + " border"}));
}

TEST_F(ConfigReader, ByteOrderMarkCrLfAndNulAreNotSpecial) {
    EXPECT_TRUE(
        read("\xEF\xBB\xBFgroup g\r\n"
             "group h border 4\r\n"
             "a.tga border\r\n"
             "b.tga\0 border\r\n"
             "\r\n"s));
    EXPECT_EQ(eventLog(), (Events{"warning: No group specified. Using 'default'.", "addGroup default 0 0 '' 0 1",
                                  "warning: Unknown texture flag 'g'", "addTexture \xEF\xBB\xBFgroup",
                                  "addGroup h 0 0 '' 0 4", "addTexture a.tga border", "addTexture b.tga"}));
}

TEST_F(ConfigReader, UnopenableFileIsQuietSuccess) {
    config.addGroup("g", 0, 0, "", 0, 1);
    eventLog().clear();
    EXPECT_TRUE(config.load(TA_TEST_SCRATCH "/no/such/file.cfg"));
    EXPECT_TRUE(config.load(TA_TEST_SCRATCH));
    EXPECT_TRUE(eventLog().empty());
    EXPECT_EQ(config.allGroups().size(), 1u);
}

// Random lines built from the grammar's own pieces and stray bytes: reading
// must end, and an error comes only as the very last event of a false result.
TEST_F(ConfigReader, ArbitraryInputNeverBreaksTheContract) {
    const char* pieces[] = {"group", "Group",        "width", "height", "format",      "miplevels", "border", "#",
                            "#c",    "12",           "-7",    "12abc",  "99999999999", "a.tga",     "\\x\\y", "\r",
                            "\t",    "\xEF\xBB\xBF", "\0",    "\xff",   "+",           "missing"};
    std::mt19937 random(1234);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int length = int(random() % 200);
        for (int i = 0; i < length; ++i) {
            const unsigned pick = random() % 30;
            if (pick < sizeof pieces / sizeof *pieces)
                text += std::string(pieces[pick], pieces[pick][0] ? std::char_traits<char>::length(pieces[pick]) : 1);
            else
                text += char(random() % 4 == 0 ? '\n' : random() % 256);
            text += random() % 3 ? " " : "";
        }
        FakeConfiguration fresh;
        eventLog().clear();
        std::istringstream in(text);
        const bool ok = fresh.loadFromStream(in);
        int errors = 0;
        for (const std::string& event : eventLog()) errors += event.rfind("error: ", 0) == 0;
        EXPECT_EQ(errors, ok ? 0 : 1);
        if (!ok) {
            EXPECT_EQ(eventLog().back(), "error: Expected group name.");
        }
    }
}

}  // namespace
