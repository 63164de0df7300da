#include "manifest.h"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "source_files.h"

namespace fs = std::filesystem;

namespace {

const char kFirstLine[] = "texatlas manifest 1";

}  // namespace

void addSourceLine(Manifest& manifest, const std::string& path) {
    SourceFile file;
    if (!sourceFile(path, file)) {
        manifest.inputs.push_back("source " + path + " missing");
        return;
    }
    // Built in place: one line per source, so the temporaries would add up.
    char size[24], modified[24];
    const char* sizeEnd = std::to_chars(size, size + sizeof(size), file.size).ptr;
    const char* modifiedEnd = std::to_chars(modified, modified + sizeof(modified), file.modified).ptr;
    std::string line;
    line.reserve(7 + path.size() + 2 + static_cast<size_t>((sizeEnd - size) + (modifiedEnd - modified)));
    line.append("source ").append(path).append(" ").append(size, static_cast<size_t>(sizeEnd - size));
    line.append(" ").append(modified, static_cast<size_t>(modifiedEnd - modified));
    manifest.inputs.push_back(std::move(line));
}

// FNV-1a, 64 bits: enough to notice an edited configuration.
std::string hashText(const std::string& text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char hex[20];
    std::snprintf(hex, sizeof(hex), "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

// "left-out dropped NAME\tREASON" or "left-out unreadable NAME\tREASON".
static bool readLeftOut(const std::string& line, Manifest& manifest) {
    for (bool dropped : {true, false}) {
        const std::string prefix = dropped ? "left-out dropped " : "left-out unreadable ";
        const size_t tab = line.find('\t');
        if (line.compare(0, prefix.size(), prefix) != 0 || tab == std::string::npos) continue;
        manifest.leftOut.push_back(
            Manifest::LeftOut{dropped, line.substr(prefix.size(), tab - prefix.size()), line.substr(tab + 1)});
        return true;
    }
    return false;
}

std::string manifestPath(const std::string& indexPath) { return indexPath + ".manifest"; }

bool readManifest(const std::string& path, Manifest& manifest, bool inputs) {
    std::ifstream file(path);
    std::string line;
    if (!std::getline(file, line) || line != kFirstLine) return false;
    manifest = Manifest();
    while (std::getline(file, line)) {
        if (line.compare(0, 7, "output ") == 0)
            manifest.outputs.push_back(line.substr(7));
        else if (line.compare(0, 6, "input ") == 0) {
            if (inputs) manifest.inputs.push_back(line.substr(6));
        } else if (!readLeftOut(line, manifest))
            return false;
    }
    return true;
}

std::vector<std::string> outputsOfManifest(const std::string& path) {
    Manifest manifest;
    if (!readManifest(path, manifest)) return {};
    const fs::path index = fs::path(path.substr(0, path.size() - std::string(".manifest").size()));
    fs::path recordedIndex;
    for (const std::string& output : manifest.outputs)
        if (fs::path(output).filename() == index.filename()) recordedIndex = output;
    if (recordedIndex.empty()) return {};
    std::vector<std::string> outputs;
    for (const std::string& output : manifest.outputs) {
        fs::path relative = fs::path(output).lexically_relative(recordedIndex.parent_path());
        if (!relative.empty()) outputs.push_back((index.parent_path() / relative).lexically_normal().string());
    }
    return outputs;
}

std::string manifestText(const Manifest& manifest) {
    std::ostringstream file;
    file << kFirstLine << "\n";
    for (const std::string& line : manifest.inputs) file << "input " << line << "\n";
    for (const std::string& line : manifest.outputs) file << "output " << line << "\n";
    for (const Manifest::LeftOut& texture : manifest.leftOut)
        file << "left-out " << (texture.dropped ? "dropped " : "unreadable ") << texture.name << "\t" << texture.reason
             << "\n";
    return file.str();
}

bool upToDate(const Manifest& previous, const Manifest& current) {
    if (previous.inputs != current.inputs || previous.outputs.empty()) return false;
    std::error_code error;
    for (const std::string& output : previous.outputs)
        if (!fs::is_regular_file(output, error)) return false;
    return true;
}
