// What a build was made from, kept beside its output so that a rebuild with
// the same inputs can be skipped.
#pragma once

#include <string>
#include <vector>

struct Manifest {
    std::vector<std::string> inputs;   // configuration, options, each source's size and time
    std::vector<std::string> outputs;  // files the build wrote
    // Textures the build left out, so that a later preview lists them too.
    struct LeftOut {
        bool dropped;  // too large for its pages; else unreadable
        std::string name, reason;
    };
    std::vector<LeftOut> leftOut;
};

// Adds "source <path> <size> <modification time>" for a file.
void addSourceLine(Manifest& manifest, const std::string& path);
std::string hashText(const std::string& text);

std::string manifestPath(const std::string& indexPath);
// Without `inputs`, the inputs are left out: a forced build needs the
// outputs alone.
bool readManifest(const std::string& path, Manifest& manifest, bool inputs = true);

// The files that the manifest at `path` says its build wrote, where they lie
// now: its paths were given from where that build ran, so they are taken
// relative to the index beside the manifest. Empty when `path` is no manifest.
std::vector<std::string> outputsOfManifest(const std::string& path);
std::string manifestText(const Manifest& manifest);

// True when `previous` was made from the same inputs and all its outputs
// still exist.
bool upToDate(const Manifest& previous, const Manifest& current);
