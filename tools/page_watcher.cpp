#include "page_watcher.h"

#include "probe.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

bool isPageFile(const char* name) {
    size_t length = std::strlen(name);
    return length > 4 && std::strcmp(name + length - 4, ".dds") == 0;
}

void reportPage(PageWatcher& watcher, ImageProbe& probe, const std::string& directory, const char* name) {
    int number = ++watcher.pagesSeen;
    std::string label;
    {
        std::lock_guard<std::mutex> lock(watcher.labelsMutex);
        auto found = watcher.labels.find(name);
        label = found != watcher.labels.end() ? found->second : "page " + std::to_string(number);
    }
    ImageFacts facts;
    std::string reason;
    if (probe.configuration && probeImage(probe, directory + name, facts, reason))
        std::printf("%s: %s  %d x %d  %s  %d mip level%s\n", label.c_str(), name, facts.width, facts.height,
                    facts.format.c_str(), facts.mipLevels, facts.mipLevels == 1 ? "" : "s");
    else
        std::printf("%s: %s\n", label.c_str(), name);
    std::fflush(stdout);
}

void watch(PageWatcher* watcher, std::string directory) {
    // A separate configuration object: the library lets separate objects be
    // used from separate threads.
    ImageProbe probe;
    openProbe(probe);
    alignas(inotify_event) char buffer[16 * 1024];
    bool stopping = false;
    while (true) {
        pollfd fds[2] = {{watcher->inotify, POLLIN, 0}, {watcher->stopPipe[0], POLLIN, 0}};
        // After the stop request, drain what is already queued, then leave.
        int ready = poll(fds, 2, stopping ? 0 : -1);
        if (ready < 0) break;
        if (fds[1].revents) stopping = true;
        if (!(fds[0].revents & POLLIN)) {
            if (stopping) break;
            continue;
        }
        ssize_t length = read(watcher->inotify, buffer, sizeof(buffer));
        if (length <= 0) break;
        for (ssize_t offset = 0; offset < length;) {
            const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            if (event->len > 0 && isPageFile(event->name)) reportPage(*watcher, probe, directory, event->name);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    closeProbe(probe);
}

}  // namespace

void labelPages(PageWatcher& watcher, const std::vector<std::pair<std::string, std::string>>& labels) {
    std::lock_guard<std::mutex> lock(watcher.labelsMutex);
    for (const auto& label : labels) watcher.labels[label.first] = label.second;
}

bool startPageWatcher(PageWatcher& watcher, const std::string& directory) {
    watcher.inotify = inotify_init1(IN_CLOEXEC);
    if (watcher.inotify < 0) return false;
    std::string watched = directory.empty() ? "." : directory;
    if (inotify_add_watch(watcher.inotify, watched.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0 ||
        pipe(watcher.stopPipe) != 0) {
        close(watcher.inotify);
        watcher.inotify = -1;
        return false;
    }
    watcher.thread = std::thread(watch, &watcher, directory);
    return true;
}

void stopPageWatcher(PageWatcher& watcher) {
    if (watcher.inotify < 0) return;
    char stop = 1;
    ssize_t written = write(watcher.stopPipe[1], &stop, 1);  // an empty pipe always takes one byte
    (void)written;
    watcher.thread.join();
    close(watcher.stopPipe[0]);
    close(watcher.stopPipe[1]);
    close(watcher.inotify);
    watcher.inotify = -1;
}
