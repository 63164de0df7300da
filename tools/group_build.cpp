#include "group_build.h"

#include <d3d9soft.h>
#include <textureatlas/textureatlas.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "decode_ahead.h"
#include "device.h"
#include "extrude.h"
#include "fit.h"
#include "owned.h"
#include "preview.h"
#include "reasons.h"

namespace fs = std::filesystem;
using textureatlas::ITextureAtlas;
using textureatlas::ITextureAtlasConfiguration;

namespace {

void setLayerThreads(unsigned count) { D3D9SoftSetThreadCount(count); }

// What the tool says of each page as the layer saves it: the layout named
// the pages, the layer's save hook tells when each is on disk.
struct PageReports {
    const GroupRunOptions* options;
    std::map<std::string, texatlas_layout::LaidOutPage*> pages;  // by file name
    size_t count = 0;
    std::string failure;
};

void onPageSaved(void* context, const D3D9SoftTextureSave* save) {
    PageReports& reports = *static_cast<PageReports*>(context);
    const std::string file = fs::path(save->pDestFile).filename().string();
    if (FAILED(save->Result)) {
        if (reports.failure.empty())
            reports.failure = "cannot write " + reports.options->finalDirectory + file +
                              (save->SystemError ? std::string(": ") + std::strerror(save->SystemError) : "");
        return;
    }
    IDirect3DTexture9* texture = static_cast<IDirect3DTexture9*>(save->pSrcTexture);
    if (reports.options->previews)
        reports.options->previews->add(file.substr(0, file.size() - std::strlen(".dds")), texture);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    const DWORD levels = texture->GetLevelCount();
    auto found = reports.pages.find(file);
    // The page as the device made it: D3DX may settle on fewer levels or
    // another format than the layout asked for.
    if (found != reports.pages.end()) {
        found->second->mipLevels = static_cast<int>(levels);
        found->second->format = texatlas_layout::formatName(desc.Format);
    }
    if (!reports.options->progress) return;
    const std::string label = found == reports.pages.end() ? "page"
                                                           : "page " + std::to_string(found->second->index + 1) +
                                                                 " of " + std::to_string(reports.count);
    printProgress(label + ": " + file + "  " + std::to_string(desc.Width) + " x " + std::to_string(desc.Height) + "  " +
                  (found == reports.pages.end() ? "" : found->second->format + "  ") + std::to_string(levels) +
                  " mip level" + (levels == 1 ? "" : "s"));
}

// Composes and saves the group's pages through the library, as a host
// would. The index the library writes is not needed: the tool writes the
// joined one from the layout, with the library's own index writer.
bool composeGroup(ITextureAtlasConfiguration& configuration, const GroupRunOptions& options, size_t number,
                  GroupOutcome& outcome) {
    SoftwareDevice device;
    if (!device.get()) {
        printLibraryError(device.error());
        return false;
    }
    AtlasPointer atlas(ITextureAtlas::create(device.get()));
    if (!atlas) {
        printLibraryError("out of memory");
        return false;
    }
    atlas->setErrorCallback(printLibraryError);
    atlas->setWarningCallback(printLibraryWarning);
    atlas->setSortMode(options.sortMode);
    PageReports reports{&options, {}, outcome.pages.size(), ""};
    for (texatlas_layout::LaidOutPage& page : outcome.pages) reports.pages[page.name + ".dds"] = &page;
    D3D9SoftSetTextureSaveHook(device.get(), onPageSaved, &reports);
    Extrusion* extrusion = options.extrude ? startExtrusion(device.get(), outcome.pages, printLibraryWarning) : nullptr;
    // Before the library's own layout, so that decoding starts meanwhile; with
    // one thread in all no thread is left to decode ahead, now or later.
    if (options.jobs > 1) announceSourceLoads(device.get(), outcome.pages);
    atlas->layout(&configuration);
    std::string index =
        options.outputDirectory + ".texatlas-" + std::to_string(getpid()) + "-" + std::to_string(number) + ".txt";
    bool ok = atlas->write(index.c_str());
    clearSourceLoads(device.get());
    stopExtrusion(extrusion, ok);
    outcome.saveFailure = reports.failure;
    std::remove(index.c_str());
    return ok;
}

// Groups whose duplicates are still to be found: the probes' records are
// needed until the last has them.
std::atomic<size_t> groupsToPlan{0};

GroupOutcome attemptGroup(const GroupJob& job, const GroupRunOptions& options, size_t number, bool retry = false) {
    GroupOutcome outcome;
    captureMessages(&outcome.messages);
    outcome.textures = findDuplicates(job.textures, options.dedup);
    // A retry finds them again from the files themselves: the same plan.
    if (!retry && --groupsToPlan == 0) forgetSourceFiles();
    ConfigurationPointer configuration(ITextureAtlasConfiguration::create());
    if (!configuration) {
        printLibraryError("out of memory");
        captureMessages(nullptr);
        return outcome;
    }
    configuration->setErrorCallback(printLibraryError);
    configuration->setWarningCallback(printLibraryWarning);
    configuration->setTexturePath(options.texturePath.c_str());
    configuration->setOutputPath(options.outputDirectory.c_str());
    const GroupSettings& group = job.settings;
    configuration->addGroup(group.name.c_str(), group.width, group.height, group.format.c_str(), group.mipLevels,
                            group.border);
    // The records as the build's configuration made them: the same a probe
    // of the file would make in this group of the same settings.
    auto added = configuration->beginGroups();
    added->textures.reserve(outcome.textures.unique.size());
    for (size_t i : outcome.textures.unique) added->textures.push_back(*job.textures[i].entry);

    if (options.fit) {
        FitResult fit = fitPageLimits(*configuration, options.sortMode);
        outcome.tried = fit.tried;
        outcome.pages = std::move(fit.pages);
    }
    // A dry run reports the drops that composing would report. The paths
    // are for decoding ahead alone.
    if (!options.fit || options.dryRun)
        outcome.pages = texatlas_layout::layOut(*configuration, options.sortMode,
                                                options.dryRun ? printLibraryWarning : textureatlas::nullMessageHandler,
                                                options.jobs > 1);
    outcome.width = configuration->beginGroups()->rect.width;
    outcome.height = configuration->beginGroups()->rect.height;

    if (options.dryRun) {
        outcome.ok = true;
    } else {
        outcome.ok = composeGroup(*configuration, options, number, outcome);
    }
    captureMessages(nullptr);
    return outcome;
}

// Every source of the job whose pixels do not decode, with the reason.
std::vector<std::pair<std::string, std::string>> unusableSources(const GroupJob& job) {
    std::vector<std::pair<std::string, std::string>> unusable;
    SoftwareDevice device;
    if (!device.get()) return unusable;
    for (const TextureRef& texture : job.textures) {
        std::string reason = decodeFailure(device.get(), *texture.path);
        if (!reason.empty()) unusable.emplace_back(*texture.name, reason);
    }
    return unusable;
}

// The library stops at the first source it cannot load. Only then are the
// sources decoded, all of them once, so that a build of good sources decodes
// nothing twice; every unusable one is left out, with a warning naming it,
// and the group is built once more from the rest.
GroupOutcome runGroup(const GroupJob& job, const GroupRunOptions& options, size_t number) {
    GroupOutcome outcome = attemptGroup(job, options, number);
    if (outcome.ok || options.dryRun || options.strict) return outcome;
    std::vector<std::pair<std::string, std::string>> unusable = unusableSources(job);
    if (unusable.empty() || unusable.size() == job.textures.size()) return outcome;
    GroupJob usable = job;
    usable.textures.clear();
    for (const TextureRef& texture : job.textures)
        if (std::none_of(unusable.begin(), unusable.end(), [&](const auto& u) { return u.first == *texture.name; }))
            usable.textures.push_back(texture);
    GroupOutcome retried = attemptGroup(usable, options, number, true);
    retried.messages.leftOut = std::move(unusable);
    return retried;
}

}  // namespace

std::vector<GroupJob> groupJobs(ITextureAtlasConfiguration& configuration) {
    std::vector<GroupJob> jobs;
    for (auto group = configuration.beginGroups(); group != configuration.endGroups(); ++group) {
        GroupJob job;
        job.settings = GroupSettings{group->name,        group->format,    group->rect.width,
                                     group->rect.height, group->mipLevels, group->border};
        job.textures.reserve(group->textures.size());
        for (const textureatlas::TextureEntry& texture : group->textures) {
            job.textures.push_back(TextureRef{&texture.name, &texture.path, texture.border, &texture});
            job.texels += static_cast<long long>(texture.rect.width) * texture.rect.height;
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

unsigned layerThreadsPerGroup(unsigned threads, unsigned groupThreads) {
    return std::max(1u, threads / std::max(1u, groupThreads));
}

std::vector<GroupOutcome> runGroups(const std::vector<GroupJob>& jobs, const GroupRunOptions& options) {
    std::vector<GroupOutcome> outcomes(jobs.size());
    groupsToPlan = jobs.size();
    // Groups have names of their own (the checks refuse two with one name), so
    // no two groups write the same page file.
    size_t threads = std::min<size_t>(std::max(options.jobs, 1), jobs.size());
    // -j counts every thread, as make's does: -j 1 is one thread in all.
    unsigned budget = static_cast<unsigned>(std::max(options.jobs, 1));
    setLayerThreads(layerThreadsPerGroup(budget, static_cast<unsigned>(std::max<size_t>(threads, 1))));

    if (threads <= 1) {
        for (size_t i = 0; i < jobs.size(); ++i) {
            outcomes[i] = runGroup(jobs[i], options, i);
            replayMessages(outcomes[i].messages);
            if (!outcomes[i].ok) {
                outcomes.resize(i + 1);
                break;
            }
        }
        return outcomes;
    }

    std::mutex mutex;
    std::condition_variable finished;
    std::vector<char> done(jobs.size(), 0);
    std::atomic<size_t> next{0};
    std::atomic<size_t> firstFailure{jobs.size()};
    std::atomic<unsigned> working{static_cast<unsigned>(threads)};
    // Largest groups first, so that no big one starts last and runs alone;
    // messages and results still go out in group order.
    std::vector<size_t> order(jobs.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return jobs[a].texels > jobs[b].texels; });
    auto work = [&]() {
        for (size_t taken = next++; taken < jobs.size(); taken = next++) {
            size_t i = order[taken];
            if (i < firstFailure.load()) {
                GroupOutcome outcome = runGroup(jobs[i], options, i);
                if (!outcome.ok) {
                    size_t failed = firstFailure.load();
                    while (i < failed && !firstFailure.compare_exchange_weak(failed, i)) {
                    }
                }
                outcomes[i] = std::move(outcome);
            }
            std::lock_guard<std::mutex> lock(mutex);
            done[i] = 1;
            finished.notify_all();
        }
        // Out of groups: the ones still running take this thread's share of
        // the block compression (the bytes do not depend on the count).
        if (unsigned left = --working) setLayerThreads(layerThreadsPerGroup(budget, left));
    };
    std::vector<std::thread> pool;
    for (size_t t = 0; t < threads; ++t) pool.emplace_back(work);
    // Messages in group order, each group's as soon as those before it are out.
    size_t reported = 0;
    for (; reported < jobs.size(); ++reported) {
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [&] { return done[reported] != 0; });
        lock.unlock();
        replayMessages(outcomes[reported].messages);
        if (!outcomes[reported].ok) break;
    }
    for (std::thread& thread : pool) thread.join();
    if (reported < jobs.size()) outcomes.resize(reported + 1);
    return outcomes;
}
