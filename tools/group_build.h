// Builds a configuration group by group, each on its own configuration,
// atlas and device, so that groups can run on several threads; their index
// entries are joined in group order, so the result does not depend on the
// number of threads.
#pragma once

#include <string>
#include <vector>

#include "dedup.h"
#include "layout_probe.h"
#include "messages.h"

namespace textureatlas {
class ITextureAtlasConfiguration;
}

struct GroupSettings {
    std::string name, format;
    int width = 0, height = 0, mipLevels = 0, border = 0;
};

struct GroupJob {
    GroupSettings settings;
    std::vector<TextureRef> textures;
    long long texels = 0;  // the textures' area: what decoding and compressing it costs
};

struct GroupOutcome {
    bool ok = false;
    int width = 0, height = 0;  // page limits the group was built with
    int tried = 0;              // limit pairs laid out by the fitting; 0 without it
    DedupPlan textures;
    std::vector<texatlas_layout::LaidOutPage> pages;  // levels and format as saved, once saved
    MessageLog messages;
    std::string saveFailure;  // the first page that could not be saved: its final file and the system's reason
};

class PagePreviews;

struct GroupRunOptions {
    std::string texturePath, outputDirectory;
    int sortMode = 0;
    int jobs = 1;
    bool fit = false, dedup = true, dryRun = false;
    bool extrude = false;        // bordered textures' margins and levels as their index rectangles say
    bool strict = false;         // a source that cannot be used fails the group instead of being left out
    bool progress = false;       // a line on stdout for each page as it is saved
    std::string finalDirectory;  // where the pages end up, for messages
    PagePreviews* previews = nullptr;  // handed each page as it is saved
};

// The groups of `configuration` as jobs (settings and the textures it read).
std::vector<GroupJob> groupJobs(textureatlas::ITextureAtlasConfiguration& configuration);

// Threads for the block compression inside each of `groupThreads` groups
// running at once, so that together they use `threads`.
unsigned layerThreadsPerGroup(unsigned threads, unsigned groupThreads);

// Runs the jobs, at most `jobs` at a time, and replays each group's messages
// in group order. After a group fails, later groups are not reported (nor,
// where not yet started, built): the result is the same as one at a time.
// Returns the outcomes up to the first failure.
std::vector<GroupOutcome> runGroups(const std::vector<GroupJob>& jobs, const GroupRunOptions& options);
