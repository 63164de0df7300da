// Layout of many random sprites: one group without a format that mixes two
// formats, one with a format, half of the textures each.
#include "../tests/unit/groups_configuration.h"
#include "../tests/unit/literal_layout.h"
#include "interface/TextureAtlas.h"
#include "interface/TextureAtlasConfiguration.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace textureatlas;

namespace {

class BenchAtlas : public TextureAtlas {
public:
    std::size_t pageCount() const { return pages.size(); }
};

void fill(GroupsConfiguration& configuration, int textureCount) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> side(4, 256);
    AtlasGroup* mixed = configuration.addGroup("mixed", 2048, 2048, "", 0, 0);
    for (int i = 0; i < textureCount / 2; ++i) {
        TextureEntry entry;
        entry.name = "sprites/mixed" + std::to_string(i) + ".png";
        entry.path = "textures/" + entry.name;
        entry.rect = Rect{0, 0, side(random), side(random)};
        entry.format = random() % 2 ? "DXT5" : "A8R8G8B8";
        entry.mipLevels = 1;
        mixed->textures.push_back(entry);
    }
    AtlasGroup* fixed = configuration.addGroup("fixed", 2048, 2048, "DXT1", 0, 0);
    for (int i = textureCount / 2; i < textureCount; ++i) {
        TextureEntry entry;
        entry.name = "sprites/fixed" + std::to_string(i) + ".png";
        entry.path = "textures/" + entry.name;
        entry.rect = Rect{0, 0, side(random), side(random)};
        entry.format = "A8R8G8B8";
        entry.mipLevels = 1;
        fixed->textures.push_back(entry);
    }
}

void perTexture(benchmark::State& state, std::size_t pages) {
    state.counters["pages"] = static_cast<double>(pages);
    state.counters["per_texture"] =
        benchmark::Counter(static_cast<double>(state.range(0)),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Layout(benchmark::State& state) {
    GroupsConfiguration configuration;
    fill(configuration, static_cast<int>(state.range(0)));
    BenchAtlas atlas;
    atlas.setSortMode(static_cast<int>(state.range(1)));
    for (auto _ : state) atlas.layout(&configuration);
    perTexture(state, atlas.pageCount());
}
BENCHMARK(BM_Layout)->ArgsProduct({{1000, 10000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);

// The plain literal algorithm on the same input, for comparison.
void BM_LiteralLayout(benchmark::State& state) {
    GroupsConfiguration configuration;
    fill(configuration, static_cast<int>(state.range(0)));
    std::size_t pages = 0;
    for (auto _ : state) {
        std::vector<AtlasGroup> groups = configuration.allGroups();
        pages = literal::layout(groups, static_cast<int>(state.range(1)), 2048, 2048).pages.size();
    }
    perTexture(state, pages);
}
BENCHMARK(BM_LiteralLayout)->ArgsProduct({{1000, 10000, 100000}, {0}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
