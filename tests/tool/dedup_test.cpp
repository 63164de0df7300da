// Identical files placed once: what counts as identical is the bytes and the
// border flag, never the hash alone.
#include "dedup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scratch.h"

namespace {

using Names = std::vector<std::string>;

class Duplicates : public ::testing::Test {
protected:
    void SetUp() override { directory = freshDirectory(); }

    TextureRef file(const std::string& name, const std::string& bytes, bool border = false) {
        const std::string path = directory + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return TextureRef{name, name, path, border};
    }

    static Names uniqueNames(const DedupPlan& plan) {
        Names names;
        for (const TextureRef& texture : plan.unique) names.push_back(texture.name);
        return names;
    }

    std::string directory;
};

TEST_F(Duplicates, IdenticalBytesShareTheFirstOnesPlaceInOrder) {
    // Over one read chunk, so that the comparison goes on past the first.
    const std::string big(200 * 1024, 'x');
    std::string changedAtTheEnd = big;
    changedAtTheEnd.back() = 'y';
    // Empty files are alike too; the library's probe turns them away before they get here.
    const std::vector<TextureRef> textures = {
        file("a", big), file("b", "small"), file("c", big), file("d", "small"), file("e", changedAtTheEnd),
        file("f", big), file("g", ""),      file("h", "")};
    const DedupPlan plan = findDuplicates(textures, true);
    EXPECT_EQ(uniqueNames(plan), (Names{"a", "b", "e", "g"}));
    EXPECT_EQ(plan.duplicatesOf, (std::vector<Names>{{"c", "f"}, {"d"}, {}, {"h"}}));
    EXPECT_EQ(plan.merged, 4);
    EXPECT_EQ(plan.unique[2].path, directory + "e");
}

// Two eight-byte files with one 64-bit FNV-1a hash, the hash dedup.cpp sorts
// files by (found with a rho search over seven-byte prefixes); any common
// suffix keeps them colliding. Another hash would need another pair.
TEST_F(Duplicates, FilesOfOneHashAreToldApartByTheirBytes) {
    const std::string first("\xd6\x4f\xdb\x5d\x81\xa4\x3a\x00", 8), second("\x7f\x79\xe3\xd5\x6b\x8d\x2d\x4f", 8);
    auto fnv1a = [](const std::string& bytes) {
        std::uint64_t hash = 14695981039346656037ull;
        for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
        return hash;
    };
    ASSERT_EQ(fnv1a(first), fnv1a(second));
    const std::string suffix(100 * 1024, 'z');
    const DedupPlan plan =
        findDuplicates({file("a", first + suffix), file("b", second + suffix), file("c", second + suffix)}, true);
    EXPECT_EQ(uniqueNames(plan), (Names{"a", "b"}));
    EXPECT_EQ(plan.duplicatesOf, (std::vector<Names>{{}, {"c"}}));
}

TEST_F(Duplicates, ABorderFlagOrAnUnreadableFileKeepsItsOwnPlace) {
    const DedupPlan plan =
        findDuplicates({file("plain", "same"), file("framed", "same", true), file("framed too", "same", true),
                        TextureRef{"gone", "gone", directory + "gone", false},
                        TextureRef{"gone too", "gone too", directory + "gone", false}},
                       true);
    EXPECT_EQ(uniqueNames(plan), (Names{"plain", "framed", "gone", "gone too"}));
    EXPECT_EQ(plan.duplicatesOf[1], (Names{"framed too"}));
    EXPECT_EQ(plan.merged, 1);
}

}  // namespace
