// The configuration file reader: the exact sequence of calls and messages
// that each kind of line produces.
#include "unit/config_fake.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

using namespace configtest;
using namespace std::string_literals;

namespace {

bool read(FakeConfiguration& config, const std::string& text) {
    std::istringstream in(text);
    return config.loadFromStream(in);
}

const std::string noGroup = "warning: No group specified. Using 'default'.";
const std::string addDefault = "addGroup default 0 0 '' 0 1";
const std::string line1022(1022, 'x');

TEST(ConfigReader, EachLineGivesItsCallsAndMessages) {
    const struct {
        std::string text;
        bool ok;
        Events events;
    } cases[] = {
        {"", true, {}},
        {"# only\n\n   \t\n#group g\n  # a.tga\n", true, {}},
        // Keywords in any order, the last one winning; a failed value ends the line silently; CR is a blank.
        {"group g width 256 height 128 border 2 # x\n"
         "group h width 5 width 6 format A8 format #x border -3 height +7 miplevels 2\n"
         "group g format miplevels 2\n"
         "group width 5\r\n"
         "group u bogus width 9\n"
         "group f format\r\n",
         true,
         {"addGroup g 256 128 '' 0 2", "addGroup h 6 7 '#x' 2 -3", "warning: Unknown texture flag '2'",
          "addGroup g 0 0 'miplevels' 0 1", "warning: Unknown texture flag '5'", "addGroup width 0 0 '' 0 1",
          "warning: Unknown texture flag 'bogus'", "addGroup u 0 0 '' 0 1", "addGroup f 0 0 '' 0 1"}},
        {"group a width 12abc height 3\n"
         "group b width 10 width 2147483648 height 5\n"
         "group c width -2147483648 height 2147483647 miplevels 00000000000000000000002\n"
         "group d width x height 5\n"
         "group e width - 5\n"
         "group f border\n"
         "group g width 0x10\n"
         "group h border 3.5\n",
         true,
         {"warning: Unknown texture flag 'abc'", "addGroup a 12 0 '' 0 1", "addGroup b 10 0 '' 0 1",
          "addGroup c -2147483648 2147483647 '' 2 1", "addGroup d 0 0 '' 0 1", "addGroup e 0 0 '' 0 1",
          "addGroup f 0 0 '' 0 1", "warning: Unknown texture flag 'x10'", "addGroup g 0 0 '' 0 1",
          "warning: Unknown texture flag '.5'", "addGroup h 0 0 '' 0 3"}},
        // The name is judged after the whole line; earlier lines stay, later ones are not read.
        {"group a\nx.tga\ngroup\ny.tga\n",
         false,
         {"addGroup a 0 0 '' 0 1", "addTexture x.tga", "error: Expected group name."}},
        {"group # note\n", false, {"warning: Unknown texture flag 'note'", "error: Expected group name."}},
        {"group #x width 5\n", false, {"error: Expected group name."}},
        // Keywords are case-sensitive; a byte order mark is an ordinary character; NUL ends a line.
        {"Group g\na.tga border extra border\ne.tga bogus border\nb.tga # border\nc.tga\tborder\r\ngroup#x\n\xEF\xBB\xBFgroup h\nd.tga\0 border\n"s,
         true,
         {noGroup, addDefault, "warning: Unknown texture flag 'g'", "addTexture Group",
          "warning: Unknown texture flag 'extra'", "addTexture a.tga border", "warning: Unknown texture flag 'bogus'",
          "addTexture e.tga", "addTexture b.tga", "addTexture c.tga border", "addTexture group#x",
          "warning: Unknown texture flag 'h'", "addTexture \xEF\xBB\xBFgroup", "addTexture d.tga"}},
        // 1022 characters are a whole line; a longer one is cut there and ends the reading.
        {line1022 + "\nafter.tga\n", true, {noGroup, addDefault, "addTexture " + line1022, "addTexture after.tga"}},
        {line1022 + "yz border\nnever.tga\ngroup\n", true, {noGroup, addDefault, "addTexture " + line1022}},
        {std::string(1014, 'w') + " border zz",
         true,
         {noGroup, addDefault, "addTexture " + std::string(1014, 'w') + " border"}},
    };
    for (const auto& c : cases) {
        FakeConfiguration config;
        eventLog().clear();
        EXPECT_EQ(read(config, c.text), c.ok) << c.text;
        EXPECT_EQ(eventLog(), c.events) << c.text;
    }
}

TEST(ConfigReader, AppendsToWhatIsThereAndUsesTheCurrentGroup) {
    FakeConfiguration config;
    config.addGroup("host", 0, 0, "", 0, 1);
    config.addGroup("other", 0, 0, "", 0, 1);
    config.setGroup("host");
    eventLog().clear();
    const std::string text = "a.tga\ngroup g\nb.tga\ngroup g\nc.tga\n";
    EXPECT_TRUE(read(config, text));
    EXPECT_TRUE(read(config, text));
    std::string texturesPerGroup;
    for (const AtlasGroup& group : config.allGroups())
        for (const TextureEntry& texture : group.textures) texturesPerGroup += group.name + ":" + texture.name + " ";
    // The second read's first line goes to the group the first read ended in.
    EXPECT_EQ(texturesPerGroup, "host:a.tga g:b.tga g:c.tga g:a.tga g:b.tga g:c.tga ");
    EXPECT_EQ(config.allGroups().size(), 6u);
    EXPECT_EQ(config.current(), &config.allGroups()[5]);
    for (const std::string& event : eventLog()) EXPECT_EQ(event.find("warning"), std::string::npos) << event;
}

TEST(ConfigReader, UnopenableFileIsQuietSuccess) {
    FakeConfiguration config;
    eventLog().clear();
    EXPECT_TRUE(config.load(TA_TEST_SCRATCH "/no/such/file.cfg"));
    EXPECT_TRUE(config.load(TA_TEST_SCRATCH));
    EXPECT_TRUE(eventLog().empty());
}

// Random lines built from the grammar's own pieces and stray bytes: reading
// must end, and an error comes only as the very last event of a false result.
TEST(ConfigReader, ArbitraryInputNeverBreaksTheContract) {
    const std::string pieces[] = {"group",       "Group", "width",  "height", "format", "miplevels",
                                  "border",      "#",     "#c",     "12",     "-7",     "12abc",
                                  "99999999999", "a.tga", "\\x\\y", "\r",     "\t",     "\xEF\xBB\xBF",
                                  "\0"s,         "\xff",  "+",      "missing"};
    std::mt19937 random(1234);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (int i = int(random() % 200); i > 0; --i) {
            const unsigned pick = random() % 30;
            text += pick < 22 ? pieces[pick] : std::string(1, char(random() % 4 == 0 ? '\n' : random() % 256));
            text += random() % 3 ? " " : "";
        }
        FakeConfiguration fresh;
        eventLog().clear();
        const bool ok = read(fresh, text);
        int errors = 0;
        for (const std::string& event : eventLog()) errors += event.rfind("error: ", 0) == 0;
        EXPECT_EQ(errors, ok ? 0 : 1);
        if (!ok) {
            EXPECT_EQ(eventLog().back(), "error: Expected group name.");
        }
    }
}

}  // namespace
