#include "messages.h"

#include <cstdio>
#include <mutex>

#include "reasons.h"

namespace {

std::mutex outputMutex;  // groups built at once print from their threads
thread_local MessageLog* capturing = nullptr;

// One of the library's messages, with where and why when the tool knows.
void print(const char* kind, const std::string& message) {
    const MessageDetail detail = explainLibraryMessage(message);
    std::fprintf(stderr, "texatlas: %s: %s%s%s%s%s\n", kind, detail.where.c_str(), detail.where.empty() ? "" : ": ",
                 message.c_str(), detail.reason.empty() ? "" : ": ", detail.reason.c_str());
}

}  // namespace

void captureMessages(MessageLog* log) { capturing = log; }

void replayMessages(const MessageLog& log) {
    for (const auto& [name, reason] : log.leftOut) {
        std::lock_guard<std::mutex> lock(outputMutex);
        ++messageCounts().warnings;
        skippedTextures().unreadable.push_back(SkippedTexture{name, reason});
        const std::string where = sourceLine(name, SourceMessage::leftOut);
        std::fprintf(stderr, "texatlas: warning: %s%s%s: left out: %s\n", where.c_str(), where.empty() ? "" : ": ",
                     name.c_str(), reason.c_str());
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
    print("error", message);
}

void printLibraryWarning(const std::string& message) {
    if (capturing) {
        capturing->messages.emplace_back(false, message);
        return;
    }
    std::lock_guard<std::mutex> lock(outputMutex);
    ++messageCounts().warnings;
    print("warning", message);
}

void printProgress(const std::string& line) {
    std::lock_guard<std::mutex> lock(outputMutex);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void silentMessage(const std::string&) {}
