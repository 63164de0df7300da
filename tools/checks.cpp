#include "checks.h"

#include <d3dx9.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "device.h"
#include "fit.h"
#include "format_names.h"
#include "reasons.h"
#include "report.h"

namespace fs = std::filesystem;

namespace {

// The reader's line buffer holds this many characters; a longer line is cut
// there and ends the reading.
const size_t kMaxLineLength = 1022;
const int kMostMipLevels = 12;  // a 2048 page: 2048, 1024, ..., 1
const char* const kGroupKeywords[] = {"width", "height", "format", "miplevels", "border"};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Splits a line as the reader does; `next` stays on the first unread character.
struct Scanner {
    const char* next;

    bool token(std::string& out) {
        while (*next && isBlank(*next)) ++next;
        const char* start = next;
        while (*next && !isBlank(*next)) ++next;
        out.assign(start, next);
        return next != start;
    }

    // The reader's integer: optional sign and digits, nothing else. `rest` is
    // what directly follows the digits (the reader takes it as the next word).
    bool integer(int& out, std::string& word, std::string& rest) {
        const char* start = next;
        token(word);
        next = start;
        while (*next && isBlank(*next)) ++next;
        const char* p = next;
        bool negative = false;
        if (*p == '+' || *p == '-') negative = *p++ == '-';
        if (*p < '0' || *p > '9') return false;
        long long value = 0;
        for (; *p >= '0' && *p <= '9'; ++p) value = std::min(value * 10 + (*p - '0'), 1LL + INT_MAX + 1);
        if (negative) value = -value;
        if (value > INT_MAX || value < INT_MIN) return false;
        out = static_cast<int>(value);
        next = p;
        rest.clear();
        while (*p && !isBlank(*p)) rest += *p++;
        return true;
    }
};

bool isComment(const std::string& token) { return !token.empty() && token[0] == '#'; }

// A word as a message quotes it: a runaway one is cut short.
std::string shown(const std::string& word) {
    return "'" + (word.size() > 60 ? word.substr(0, 57) + "..." : word) + "'";
}

// Edit distance up to 2, for "did you mean".
bool closeTo(const std::string& a, const std::string& b) {
    std::string x = a, y = b;
    for (char& c : x) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (x == y) return true;
    if (x.size() > y.size() + 2 || y.size() > x.size() + 2) return false;
    std::vector<size_t> row(y.size() + 1);
    for (size_t j = 0; j <= y.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= x.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= y.size(); ++j) {
            size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] != y[j - 1])});
            diagonal = above;
        }
    }
    return row[y.size()] <= 2;
}

std::string suggestion(const std::string& word, const char* const* candidates, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (closeTo(word, candidates[i])) return std::string(" (did you mean '") + candidates[i] + "'?)";
    return "";
}

}  // namespace

std::string pageLimitWarning(const std::string& setting, int value) {
    if (value < 0)
        return setting + " " + std::to_string(value) + " is negative: the pages get the largest size, " +
               std::to_string(kLargestPage);
    if (value > kLargestPage)
        return setting + " " + std::to_string(value) + " is over the largest page: " + std::to_string(kLargestPage) +
               " is used";
    return "";
}

std::string mipLevelsWarning(const std::string& setting, int value) {
    if (value < 0)
        return setting + " " + std::to_string(value) +
               " is negative: the textures' own number of levels is used, as with 0";
    if (value > kMostMipLevels)
        return setting + " " + std::to_string(value) + ": a page has at most " + std::to_string(kMostMipLevels) +
               " levels";
    return "";
}

namespace {

struct LineChecker {
    CheckedConfiguration& result;
    std::string where;

    void error(const std::string& text) {
        ++result.errors;
        reportError(where, text);
    }
    void warning(const std::string& text) {
        ++result.warnings;
        reportWarning(where, text);
    }

    void settingWarning(const std::string& text) {
        if (!text.empty()) warning(text);
    }

    void groupLine(Scanner scan, int lineNumber) {
        CheckedGroup group;
        group.line = lineNumber;
        scan.token(group.name);
        std::set<std::string> seen;
        std::string keyword;
        while (scan.token(keyword) && !isComment(keyword)) {
            if (!seen.insert(keyword).second && keyword != "format")
                warning(keyword + " is given twice; the last one counts");
            if (keyword == "format") {
                if (!scan.token(group.format)) {
                    error("format without a value");
                    break;
                }
                if (!isKnownPageFormat(group.format))
                    error("unknown format " + shown(group.format) + "; known formats: " + knownPageFormatList());
                continue;
            }
            int* setting = keyword == "width"       ? &group.width
                           : keyword == "height"    ? &group.height
                           : keyword == "miplevels" ? &group.mipLevels
                           : keyword == "border"    ? &group.border
                                                    : nullptr;
            if (!setting) {
                error("unknown group setting " + shown(keyword) +
                      suggestion(keyword, kGroupKeywords, sizeof(kGroupKeywords) / sizeof(*kGroupKeywords)) +
                      "; the reader would ignore it and the rest of the line");
                break;
            }
            std::string word, rest;
            if (!scan.integer(*setting, word, rest)) {
                error(keyword + (word.empty() ? " without a value" : " " + shown(word) + " is not a whole number") +
                      "; the reader would ignore it and the rest of the line");
                break;
            }
            if (!rest.empty()) {
                error(keyword + " '" + word + "': the reader takes the number and then '" + rest +
                      "' as the next setting");
                break;
            }
        }
        if (group.name.empty() || isComment(group.name)) {
            error("group line without a name");
            return;
        }
        if (group.name.find_first_of("/\\") != std::string::npos)
            error("group name '" + group.name + "' holds a path separator; page files are named after the group");
        settingWarning(pageLimitWarning("width", group.width));
        settingWarning(pageLimitWarning("height", group.height));
        settingWarning(mipLevelsWarning("miplevels", group.mipLevels));
        if (group.border < 0) error("border " + std::to_string(group.border) + " is negative");
        auto first = result.groupLines.emplace(group.name, group.line);
        if (!first.second)
            error("a second group '" + group.name + "' (the first is " +
                  (first.first->second ? "on line " + std::to_string(first.first->second)
                                       : std::string("made by the reader")) +
                  "): their pages would have the same file names and overwrite each other");
        result.groups.push_back(group);
        result.textureLines.emplace_back();
    }

    void textureLine(Scanner scan, const std::string& name, int lineNumber) {
        if (result.groups.empty()) {
            warning("texture before any group line: it goes to a group named 'default'");
            CheckedGroup fallback;
            fallback.name = "default";
            result.groups.push_back(fallback);
            result.groupLines.emplace(fallback.name, 0);
            result.textureLines.emplace_back();
        }
        CheckedTexture texture;
        texture.name = name;
        texture.line = lineNumber;
        std::string flag;
        while (scan.token(flag) && !isComment(flag)) {
            if (flag == "border") {
                texture.border = true;
                continue;
            }
            if (flag.find('.') != std::string::npos)
                error(shown(name + " " + flag) + ": names cannot hold blanks; the reader takes " + shown(name) +
                      " as the texture and " + shown(flag) + " as an unknown flag");
            else
                error("unknown texture flag " + shown(flag) +
                      (closeTo(flag, "border") ? " (did you mean 'border'?)" : "") +
                      "; the reader would ignore it and the rest of the line");
            break;
        }
        CheckedGroup& group = result.groups.back();
        if (texture.border && group.border == 0)
            warning(name + " is marked border, but group " + group.name + " has border 0: it gets no margin");
        // The library names a texture with forward slashes: a\b.png and a/b.png are one.
        std::string libraryName = name;
        std::replace(libraryName.begin(), libraryName.end(), '\\', '/');
        auto first = result.textureLines.back().emplace(std::move(libraryName), lineNumber);
        if (!first.second)
            warning(name + " is already in group " + group.name + " (line " + std::to_string(first.first->second) +
                    "); it will be placed twice");
        group.textures.push_back(std::move(texture));
    }
};

// The file's lines without their ends, read a block at a time; only the
// first kMaxLineLength + 1 characters of a line are kept (enough to judge it),
// so a huge line costs no memory. `length` is the whole line's.
class LineReader {
public:
    explicit LineReader(std::istream& in) : buffer_(in.rdbuf()) {}

    bool next(std::string& line, size_t& length) {
        line.clear();
        length = 0;
        bool any = false;
        for (;;) {
            if (at_ == end_ && !refill()) return any;
            any = true;
            const char* from = block_ + at_;
            const char* newline = static_cast<const char*>(std::memchr(from, '\n', end_ - at_));
            const size_t taken = static_cast<size_t>((newline ? newline : block_ + end_) - from);
            if (line.size() <= kMaxLineLength) line.append(from, std::min(taken, kMaxLineLength + 1 - line.size()));
            length += taken;
            at_ += taken;
            if (newline) {
                ++at_;
                return true;
            }
        }
    }

private:
    bool refill() {
        const std::streamsize got = buffer_->sgetn(block_, sizeof(block_));
        at_ = 0;
        end_ = got > 0 ? static_cast<size_t>(got) : 0;
        return end_ > 0;
    }

    std::streambuf* buffer_;
    char block_[16384];
    size_t at_ = 0, end_ = 0;
};

}  // namespace

bool checkConfigurationFile(const std::string& path, CheckedConfiguration& result) {
    result = CheckedConfiguration();
    result.file = path;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::string line, first;
    size_t length = 0;
    int lineNumber = 0;
    LineChecker checker{result, ""};
    LineReader lines(file);
    while (lines.next(line, length)) {
        ++lineNumber;
        char number[16];
        checker.where.assign(path).append(1, ':').append(
            number, std::to_chars(number, number + sizeof(number), lineNumber).ptr);
        if (lineNumber == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            checker.error(
                "the file starts with a UTF-8 byte-order mark, which the reader takes as part of the first "
                "word; save it without one");
            line.erase(0, 3);
        }
        if (length > kMaxLineLength)
            checker.error("line of " + std::to_string(length) + " characters; the reader reads at most " +
                          std::to_string(kMaxLineLength) + " and stops there, so every line after it would be lost");
        line.resize(std::min(line.size(), kMaxLineLength));
        // The reader holds the line as a C string: a NUL byte ends it.
        Scanner scan{line.c_str()};
        if (!scan.token(first) || isComment(first)) continue;
        if (first == "group")
            checker.groupLine(scan, lineNumber);
        else
            checker.textureLine(scan, first, lineNumber);
    }
    return true;
}

bool checkPageFormat(const std::string& where, const std::string& format) {
    if (format.empty() || isKnownPageFormat(format)) return true;
    reportError(where, "unknown format '" + format + "'; known formats: " + knownPageFormatList());
    return false;
}

bool checkGroupName(const std::string& where, const std::string& name) {
    if (!name.empty() && name.find_first_of("/\\ \t") == std::string::npos && name[0] != '#') return true;
    reportError(where, "group name '" + name + "' cannot name page files (no blanks, '/', '\\' or leading '#')");
    return false;
}

bool checkWritableFile(const std::string& path, std::string& error) {
    std::error_code code;
    fs::file_status status = fs::status(path, code);
    if (fs::is_directory(status)) {
        error = "cannot write " + path + ": it is a directory";
        return false;
    }
    if (fs::exists(status) && access(path.c_str(), W_OK) != 0) {
        error = "cannot write " + path + ": permission denied";
        return false;
    }
    return true;
}

int checkSources(const CheckedConfiguration& configuration, const std::string& textureDirectory) {
    SoftwareDevice device;
    if (!device.get()) {
        reportError("", device.error());
        return -1;
    }
    int failures = 0;
    for (const CheckedGroup& group : configuration.groups) {
        int pageWidth = pageLimit(group.width), pageHeight = pageLimit(group.height);
        for (const CheckedTexture& texture : group.textures) {
            std::string where = configuration.file + ":" + std::to_string(texture.line);
            std::string path = textureDirectory + texture.name;
            std::string reason = decodeFailure(device.get(), path);
            if (!reason.empty()) {
                reportError(where, texture.name + ": " + reason);
                ++failures;
                continue;
            }
            D3DXIMAGE_INFO info;
            D3DXGetImageInfoFromFileA(path.c_str(), &info);
            long long margin = texture.border ? 2LL * group.border : 0;
            long long width = info.Width + margin, height = info.Height + margin;
            if (width > pageWidth || height > pageHeight)
                reportWarning(where, texture.name + " is " + std::to_string(width) + " x " + std::to_string(height) +
                                         " with its border; pages of group " + group.name + " are at most " +
                                         std::to_string(pageWidth) + " x " + std::to_string(pageHeight) +
                                         ": it will be left out");
        }
    }
    return failures;
}
