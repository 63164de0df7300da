// The configuration file reader: one group line becomes addGroup, one texture
// line becomes addTexture.
#include <algorithm>
#include <climits>
#include <fstream>
#include <istream>
#include <string>

#include "interface/TextureAtlasConfiguration.h"
#include "interface/library_messages.h"

namespace textureatlas {

namespace {

// A line holds at most this many characters before its line end; a longer
// one is cut there and ends the reading.
const std::streamsize maxLineLength = 1022;

// Blank, tab, line feed, vertical tab, form feed, carriage return.
bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads one line's tokens and integers the way a string stream does: after a
// failed read every later read fails too. The line is a C string, so a NUL
// byte ends it.
struct LineScanner {
    const char* next;
    bool failed;

    explicit LineScanner(const char* line) : next(line), failed(false) {}

    void skipBlanks() {
        while (*next && isBlank(*next)) ++next;
    }

    bool token(std::string& out) {
        if (failed) return false;
        skipBlanks();
        const char* start = next;
        while (*next && !isBlank(*next)) ++next;
        if (next == start) {
            failed = true;
            return false;
        }
        out.assign(start, next);
        return true;
    }

    // Optional sign, then decimal digits; stops at the first non-digit, so
    // "12abc" gives 12 and leaves "abc". No number or one out of range fails
    // and leaves `out` as it was.
    bool integer(int& out) {
        if (failed) return false;
        skipBlanks();
        bool negative = false;
        if (*next == '+' || *next == '-') negative = *next++ == '-';
        if (*next < '0' || *next > '9') {
            failed = true;
            return false;
        }
        // Saturates past the range so that any number of digits is safe.
        const long long limit = 1LL + INT_MAX;
        long long value = 0;
        for (; *next >= '0' && *next <= '9'; ++next) value = std::min(limit + 1, value * 10 + (*next - '0'));
        if (negative) value = -value;
        if (value > INT_MAX || value < INT_MIN) {
            failed = true;
            return false;
        }
        out = int(value);
        return true;
    }
};

bool isComment(const std::string& token) { return token[0] == '#'; }

}  // namespace

bool TextureAtlasConfiguration::load(const char* fileName) {
    std::ifstream file(fileName);
    return loadFromStream(file);
}

bool TextureAtlasConfiguration::loadFromStream(std::istream& in) {
    char line[maxLineLength + 2];
    while (in.good()) {
        // Stores at most maxLineLength characters; a longer line sets failbit,
        // so it is processed cut short and the loop ends after it.
        in.getline(line, maxLineLength + 1);

        LineScanner scan(line);
        std::string first;
        if (!scan.token(first) || isComment(first)) continue;

        if (first == "group") {
            std::string name, format, keyword;
            int width = 0, height = 0, mipLevels = 0, border = 1;
            scan.token(name);
            while (scan.token(keyword) && !isComment(keyword)) {
                bool ok;
                if (keyword == "width")
                    ok = scan.integer(width);
                else if (keyword == "height")
                    ok = scan.integer(height);
                else if (keyword == "miplevels")
                    ok = scan.integer(mipLevels);
                else if (keyword == "border")
                    ok = scan.integer(border);
                else if (keyword == "format")
                    ok = scan.token(format);
                else {
                    warningCallback(messages::kUnknownTextureFlag + keyword + "'");
                    break;
                }
                if (!ok) break;
            }
            // The name is judged only after the whole line, so its warnings come first.
            if (name.empty() || isComment(name)) {
                errorCallback(messages::kExpectedGroupName);
                return false;
            }
            addGroup(name.c_str(), width, height, format.c_str(), mipLevels, border);
            continue;
        }

        if (!currentGroup) {
            warningCallback(messages::kNoGroupSpecified);
            addGroup("default", 0, 0, "", 0, 1);
        }
        bool border = false;
        std::string flag;
        while (scan.token(flag) && !isComment(flag)) {
            if (flag != "border") {
                warningCallback(messages::kUnknownTextureFlag + flag + "'");
                break;
            }
            border = true;
        }
        addTexture(first.c_str(), border);
    }
    return true;
}

}  // namespace textureatlas
