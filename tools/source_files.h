// Size, modification time and a hash of the contents of each source file, as
// the layer's image probe read it: the manifest and the duplicate finder take
// them from here rather than open or stat the file again.
#pragma once

#include <cstdint>
#include <string>

struct SourceFile {
    std::uint64_t size = 0;
    long long modified = 0;  // nanoseconds since 1970
    // Of the contents: equal files, equal hashes. Large files, which the
    // probe maps and reads only the header of, are hashed when asked.
    std::uint64_t hash = 0;
    bool hashed = false;
};

// While one lives, the image probes made on its thread record the files they read.
class SourceRecording {
public:
    SourceRecording();
    ~SourceRecording();
    SourceRecording(const SourceRecording&) = delete;
    SourceRecording& operator=(const SourceRecording&) = delete;
};

// The record of the file at `path`, which is probed now if no probe recorded
// it yet; false when it cannot be opened. Safe from any thread.
bool sourceFile(const std::string& path, SourceFile& file);

// Reads the file to fill in `file.hash`; false when it cannot be read.
bool hashSourceFile(const std::string& path, SourceFile& file);
