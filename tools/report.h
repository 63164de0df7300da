// The tool's own findings on stderr, each line starting with "texatlas: " so
// that it stands out from the library's messages and other programs' output.
#pragma once

#include <string>

struct ReportCounts {
    int errors = 0;
    int warnings = 0;
};

ReportCounts& reportCounts();

// `where` is "file:line", a file name, or empty.
void reportError(const std::string& where, const std::string& text);
void reportWarning(const std::string& where, const std::string& text);
void reportNote(const std::string& text);
