#include "report.h"

#include <cstdio>

MessageCounts& messageCounts() {
    static MessageCounts counts;
    return counts;
}

static void print(const char* kind, const std::string& where, const std::string& text) {
    std::fprintf(stderr, "texatlas: %s%s%s%s\n", kind, where.c_str(), where.empty() ? "" : ": ", text.c_str());
}

void reportError(const std::string& where, const std::string& text) {
    ++messageCounts().errors;
    print("error: ", where, text);
}

void reportWarning(const std::string& where, const std::string& text) {
    ++messageCounts().warnings;
    print("warning: ", where, text);
}

void reportNote(const std::string& text) { print("", "", text); }
