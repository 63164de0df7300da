// What `pack` takes from the paths it is given, and the names it gives them.
#include "image_scan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "manifest.h"
#include "scratch.h"
#include "text_file.h"

namespace fs = std::filesystem;

namespace {

class ImageScan : public ::testing::Test {
protected:
    void SetUp() override { root = freshDirectory(); }

    void touch(const std::string& name) {
        fs::create_directories(fs::path(root + name).parent_path());
        std::ofstream(root + name) << name;
    }

    // "directory|name" for each image found under the given inputs.
    std::vector<std::string> scan(const std::vector<std::string>& inputs, std::set<fs::path> skipped = {}) {
        std::vector<FoundImage> images;
        unread.clear();
        error.clear();
        if (!findImages(inputs, std::move(skipped), images, unread, error)) return {"failed"};
        std::vector<std::string> found;
        for (const FoundImage& image : images) found.push_back(image.directory + "|" + image.name);
        return found;
    }

    std::string root;
    std::vector<std::string> unread;
    std::string error;
};

TEST_F(ImageScan, NamesAreRelativeToEachInputInNameOrder) {
    for (const char* name : {"x/z.png", "x/m/b.TGA", "x/m/a.jpeg", "x/a.PNG", "x/notes.txt", "y/c.dds", "y/d.bmp"})
        touch(name);
    const std::string x = root + "x", y = root + "y/";
    EXPECT_EQ(scan({x, y, y + "c.dds"}),
              (std::vector<std::string>{x + "/|a.PNG", x + "/|m/a.jpeg", x + "/|m/b.TGA", x + "/|z.png", y + "|c.dds",
                                        y + "|d.bmp", y + "|c.dds"}))
        << "a file given is named by its file name, beside its folder";
    EXPECT_TRUE(unread.empty());
}

TEST_F(ImageScan, HiddenTypesTheReaderCannotDecodeAndOwnOutputsAreLeftOut) {
    for (const char* name : {"in/.hidden.png", "in/.cache/a.png", "in/anim.gif", "in/photo.webp", "in/keep.png",
                             "in/out/atlas0.dds", "in/saved.png", "in/old/atlas0.dds", "in/old/preview/atlas0.png"})
        touch(name);
    // A manifest of a build run elsewhere names its outputs where they lay then.
    Manifest previous;
    previous.outputs = {"/elsewhere/atlas.txt", "/elsewhere/atlas0.dds", "/elsewhere/preview/atlas0.png"};
    std::string error;
    ASSERT_TRUE(writeTextFile(root + "in/old/atlas.txt.manifest", manifestText(previous), "manifest", error)) << error;
    const std::string in = root + "in";
    EXPECT_EQ(scan({in}, {comparable(in + "/out"), comparable(in + "/saved.png")}),
              (std::vector<std::string>{in + "/|keep.png"}));
    EXPECT_EQ(unread, (std::vector<std::string>{in + "/anim.gif", in + "/photo.webp"}));
}

// Each real folder is walked once, under the first name in order.
TEST_F(ImageScan, LinkedFoldersAreFollowedOnce) {
    touch("images/a/one.png");
    touch("images/grey.pgm");
    fs::create_symlink("..", root + "images/a/up");
    fs::create_symlink("a", root + "images/b");
    const std::string images = root + "images", a = root + "images/a";
    EXPECT_EQ(scan({images}), (std::vector<std::string>{images + "/|a/one.png", images + "/|grey.pgm"}));
    EXPECT_EQ(scan({a}), (std::vector<std::string>{a + "/|one.png", a + "/|up/grey.pgm"}));
}

TEST_F(ImageScan, AMissingInputIsRefused) {
    touch("in/a.png");
    EXPECT_EQ(scan({root + "in", root + "nothing"}), (std::vector<std::string>{"failed"}));
    EXPECT_EQ(error, "no such file or directory: " + root + "nothing");
}

}  // namespace
