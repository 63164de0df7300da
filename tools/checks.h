// Checks made before any work: the configuration file read again the way the
// library's reader reads it, so that every line whose effect differs from what
// it says is named with file:line before anything is composed.
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

struct CheckedTexture {
    std::string name;
    int line = 0;
    bool border = false;
};

struct CheckedGroup {
    std::string name;
    int line = 0;  // 0: the "default" group the reader adds on its own
    int width = 0, height = 0, mipLevels = 0, border = 1;
    std::string format;
    std::vector<CheckedTexture> textures;
};

struct CheckedConfiguration {
    std::string file;
    std::vector<CheckedGroup> groups;
    std::map<std::string, int> groupLines;                           // first line of each group name
    std::vector<std::unordered_map<std::string, int>> textureLines;  // per group: first line of each name
    int errors = 0;
    int warnings = 0;
};

// Reports every finding through report.h; false when the file cannot be read.
// `result.errors` counts the findings that must stop a build.
bool checkConfigurationFile(const std::string& path, CheckedConfiguration& result);

// The page format of `pack -f`, a group name, ...: false (with a message
// naming `where`) when the library would not make what the user asked for.
bool checkPageFormat(const std::string& where, const std::string& format);
bool checkGroupName(const std::string& where, const std::string& name);

// What the library makes of a page limit or a mip-level count that does not
// mean what it says ("width 5000 is over the largest page: 2048 is used"),
// or empty. `setting` names it as the user gave it ("width", "--width").
std::string pageLimitWarning(const std::string& setting, int value);
std::string mipLevelsWarning(const std::string& setting, int value);

// A file the build will write: false when it is a directory or cannot be
// replaced.
bool checkWritableFile(const std::string& path, std::string& error);

// Decodes every source of the configuration completely and checks its size
// against its group's pages; reports each problem. Returns the number of
// sources that a build could not use, or -1 when no device could be made
// to read them with (reported).
int checkSources(const CheckedConfiguration& configuration, const std::string& textureDirectory);
