// Routes the library's messages to stderr and counts them, so that the
// summary and the exit code can tell what happened.
#pragma once

#include <string>
#include <vector>

struct MessageCounts {
    int errors = 0;
    int warnings = 0;
    std::vector<std::string> dropped;  // textures too large for their pages
    std::vector<std::string> missing;  // textures whose image could not be read
};

// The library takes plain function pointers, so the counts are process-wide.
MessageCounts& messageCounts();
void resetMessageCounts();

void printLibraryError(const std::string& message);
void printLibraryWarning(const std::string& message);
void silentMessage(const std::string& message);
