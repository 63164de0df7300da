// The tool's own findings on stderr, each line starting with "texatlas: " so
// that it stands out from other programs' output.
#pragma once

#include <string>

// Every error and warning of a run, the tool's and the library's alike, so
// that --strict and the summaries count what the user saw.
struct MessageCounts {
    int errors = 0;
    int warnings = 0;
};

MessageCounts& messageCounts();

// `where` is "file:line", a file name, or empty.
void reportError(const std::string& where, const std::string& text);
void reportWarning(const std::string& where, const std::string& text);
void reportNote(const std::string& text);
