#include "messages.h"

#include "reasons.h"

#include <cstdio>
#include <mutex>

namespace {

const std::string kDroppedPrefix = "Texture size larger than maximum atlas size: ";
const std::string kMissingPrefix = "Failed to load texture: ";

std::mutex outputMutex;  // the page watcher prints from its own thread
thread_local MessageLog* capturing = nullptr;

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

MessageCounts& messageCounts() {
    static MessageCounts counts;
    return counts;
}

void resetMessageCounts() { messageCounts() = MessageCounts(); }

void captureMessages(MessageLog* log) { capturing = log; }

void replayMessages(const MessageLog& log) {
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
    MessageCounts& counts = messageCounts();
    ++counts.warnings;
    if (startsWith(message, kDroppedPrefix)) counts.dropped.push_back(message.substr(kDroppedPrefix.size()));
    if (startsWith(message, kMissingPrefix)) counts.missing.push_back(message.substr(kMissingPrefix.size()));
    std::string reason = explainLibraryMessage(message);
    std::fprintf(stderr, "texatlas: warning: %s%s%s\n", message.c_str(), reason.empty() ? "" : ": ", reason.c_str());
}

void silentMessage(const std::string&) {}
