// Reports each page file as the library finishes writing it. The library
// composes all pages inside one synchronous call and has no progress hook,
// so the tool watches the output directory from a thread of its own.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct PageWatcher {
    int inotify = -1;
    int stopPipe[2] = {-1, -1};
    std::thread thread;
    std::atomic<int> pagesSeen{0};
    std::mutex labelsMutex;
    std::map<std::string, std::string> labels;  // page file -> "page k of n"
};

// Names the pages a group is about to write ("page 2 of 7"); pages without a
// label are counted across the build instead.
void labelPages(PageWatcher& watcher, const std::vector<std::pair<std::string, std::string>>& labels);

// Starts watching `directory` for *.dds files closed after writing. Returns
// false (and reports nothing later) where watching is not possible.
bool startPageWatcher(PageWatcher& watcher, const std::string& directory);
void stopPageWatcher(PageWatcher& watcher);
