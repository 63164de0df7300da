// Identical files placed once: what counts as identical is the bytes and the
// border flag, never the hash alone.
#include "dedup.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scratch.h"

namespace {

using Names = std::vector<std::string>;
using Shared = std::vector<std::pair<std::string, Names>>;

class Duplicates : public ::testing::Test {
protected:
    void SetUp() override { directory = freshDirectory(); }

    TextureRef file(const std::string& name, const std::string& bytes, bool border = false) {
        std::ofstream(directory + name, std::ios::binary) << bytes;
        return named(name, name, border);
    }

    // The texture `name` of the file `file` in the directory; its strings last as long as the test.
    TextureRef named(const std::string& name, const std::string& file, bool border = false) {
        strings.push_back(name);
        const std::string* kept = &strings.back();
        strings.push_back(directory + file);
        return TextureRef{kept, &strings.back(), border};
    }

    static Names uniqueNames(const DedupPlan& plan, const std::vector<TextureRef>& textures) {
        Names names;
        for (std::size_t i : plan.unique) names.push_back(*textures[i].name);
        return names;
    }

    std::string directory;
    std::deque<std::string> strings;
};

TEST_F(Duplicates, IdenticalBytesShareTheFirstOnesPlaceInOrder) {
    // Over one read chunk, so that the comparison goes on past the first, and
    // over what the probe reads whole, so that hashing reads it.
    const std::string big(1536 * 1024, 'x');
    std::string changedAtTheEnd = big;
    changedAtTheEnd.back() = 'y';
    // Empty files are alike too; the library's probe turns them away before they get here.
    const std::vector<TextureRef> textures = {
        file("a", big), file("b", "small"), file("c", big), file("d", "small"), file("e", changedAtTheEnd),
        file("f", big), file("g", ""),      file("h", "")};
    const DedupPlan plan = findDuplicates(textures, true);
    EXPECT_EQ(uniqueNames(plan, textures), (Names{"a", "b", "e", "g"}));
    EXPECT_EQ(plan.shared, (Shared{{"a", {"c", "f"}}, {"b", {"d"}}, {"g", {"h"}}}));
    EXPECT_EQ(plan.merged, 4);
}

// The probe's record with every hash alike: files of one size and hash are
// still told apart by their bytes.
bool everyHashAlike(const std::string& path, SourceFile& file) {
    if (!sourceFile(path, file)) return false;
    file.hash = 0;
    file.hashed = true;
    return true;
}

TEST_F(Duplicates, FilesOfOneHashAreToldApartByTheirBytes) {
    const std::string start(100 * 1024, 'z');  // they differ past the first chunk compared
    const std::vector<TextureRef> textures = {file("a", start + "first"), file("b", start + "other"),
                                              file("c", start + "other")};
    const DedupPlan plan = findDuplicates(textures, true, everyHashAlike);
    EXPECT_EQ(uniqueNames(plan, textures), (Names{"a", "b"}));
    EXPECT_EQ(plan.shared, (Shared{{"b", {"c"}}}));
}

TEST_F(Duplicates, ABorderFlagOrAnUnreadableFileKeepsItsOwnPlace) {
    const std::vector<TextureRef> textures = {file("plain", "same"), file("framed", "same", true),
                                              file("framed too", "same", true), named("gone", "gone"),
                                              named("gone too", "gone")};
    const DedupPlan plan = findDuplicates(textures, true);
    EXPECT_EQ(uniqueNames(plan, textures), (Names{"plain", "framed", "gone", "gone too"}));
    EXPECT_EQ(plan.shared, (Shared{{"framed", {"framed too"}}}));
    EXPECT_EQ(plan.merged, 1);
}

}  // namespace
