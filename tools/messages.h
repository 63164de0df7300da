// Routes the library's messages to stderr and counts them (report.h), so
// that the summary and the exit code can tell what happened. The library
// takes plain function pointers, so the counts are process-wide.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "report.h"

// While a log is set on a thread, the library's messages on that thread are
// kept there instead of printed, so that groups built at the same time report
// in group order. Replaying prints and counts them as if they came then.
struct MessageLog {
    std::vector<std::pair<bool, std::string>> messages;  // (is error, text)
    // Sources the tool left out after the library could not load them
    // (name, reason): replayed first, each as a warning and an unreadable texture.
    std::vector<std::pair<std::string, std::string>> leftOut;
};
void captureMessages(MessageLog* log);
void replayMessages(const MessageLog& log);

// A line of progress on stdout, flushed, between whole messages.
void printProgress(const std::string& line);

void printLibraryError(const std::string& message);
void printLibraryWarning(const std::string& message);
void silentMessage(const std::string& message);
