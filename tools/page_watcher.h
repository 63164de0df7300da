// Reports each page file as the library finishes writing it. The library
// composes all pages inside one synchronous call and has no progress hook,
// so the tool watches the output directory from a thread of its own.
#pragma once

#include <atomic>
#include <string>
#include <thread>

struct PageWatcher {
    int inotify = -1;
    int stopPipe[2] = {-1, -1};
    std::thread thread;
    std::atomic<int> pagesSeen{0};
};

// Starts watching `directory` for *.dds files closed after writing. Returns
// false (and reports nothing later) where watching is not possible.
bool startPageWatcher(PageWatcher& watcher, const std::string& directory);
void stopPageWatcher(PageWatcher& watcher);
