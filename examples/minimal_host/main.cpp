// The smallest host: creates both objects through the umbrella header,
// calls them through their interfaces and deletes them.
#include <textureatlas/textureatlas.h>

#include <cstdio>
#include <string>

static void printWarning(const std::string& message) { std::printf("warning: %s\n", message.c_str()); }

int main() {
    textureatlas::ITextureAtlasConfiguration* configuration = textureatlas::ITextureAtlasConfiguration::create();
    textureatlas::ITextureAtlas* atlas = textureatlas::ITextureAtlas::create(nullptr);
    if (!configuration || !atlas) {
        std::printf("could not create the objects\n");
        return 1;
    }
    configuration->setWarningCallback(printWarning);
    configuration->setOutputPath("out");
    configuration->addGroup("sprites", 256, 256, "A8R8G8B8", 1, 0);
    configuration->setGroup("missing");
    std::printf("groups: %d, output path: %s\n",
                static_cast<int>(configuration->endGroups() - configuration->beginGroups()),
                configuration->getOutputPath());
    atlas->layout(configuration);
    delete atlas;
    delete configuration;
    std::printf("created, used and deleted both objects\n");
    return 0;
}
