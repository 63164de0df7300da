#include "messages.h"

#include <cstdio>
#include <mutex>

#include "reasons.h"

namespace {

std::mutex outputMutex;  // groups built at once print from their threads
thread_local MessageLog* capturing = nullptr;

}  // namespace

void captureMessages(MessageLog* log) { capturing = log; }

void replayMessages(const MessageLog& log) {
    for (const auto& [name, reason] : log.leftOut) {
        std::lock_guard<std::mutex> lock(outputMutex);
        ++messageCounts().warnings;
        skippedTextures().unreadable.push_back(SkippedTexture{name, reason});
        std::fprintf(stderr, "texatlas: warning: %s: left out: %s\n", name.c_str(), reason.c_str());
    }
    for (const auto& message : log.messages)
        message.first ? printLibraryError(message.second) : printLibraryWarning(message.second);
}

void printLibraryError(const std::string& message) {
    if (capturing) {
        capturing->messages.emplace_back(true, message);
        return;
    }
    std::lock_guard<std::mutex> lock(outputMutex);
    ++messageCounts().errors;
    std::string reason = explainLibraryMessage(message);
    std::fprintf(stderr, "texatlas: error: %s%s%s\n", message.c_str(), reason.empty() ? "" : ": ", reason.c_str());
}

void printLibraryWarning(const std::string& message) {
    if (capturing) {
        capturing->messages.emplace_back(false, message);
        return;
    }
    std::lock_guard<std::mutex> lock(outputMutex);
    ++messageCounts().warnings;
    std::string reason = explainLibraryMessage(message);
    std::fprintf(stderr, "texatlas: warning: %s%s%s\n", message.c_str(), reason.empty() ? "" : ": ", reason.c_str());
}

void printProgress(const std::string& line) {
    std::lock_guard<std::mutex> lock(outputMutex);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void silentMessage(const std::string&) {}
