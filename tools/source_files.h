// Size, modification time and a hash of the contents of each source file, as
// the layer's image probe read it: the manifest and the duplicate finder take
// them from here rather than open or stat the file again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

struct SourceFile {
    std::uint64_t size = 0;
    long long modified = 0;  // nanoseconds since 1970
    // Of the contents: equal files, equal hashes. Large files, which the
    // probe maps and reads only the header of, are hashed when asked.
    std::uint64_t hash = 0;
    bool hashed = false;
};

// While one lives, the image probes made on its thread record the files they
// read. One at a time on a thread: its end stops the recording.
class SourceRecording {
public:
    SourceRecording();
    ~SourceRecording();
    SourceRecording(const SourceRecording&) = delete;
    SourceRecording& operator=(const SourceRecording&) = delete;
};

// The record of the file at `path`, or its size and time now if no probe
// recorded it; false when it is not a file. Safe from any thread.
bool sourceFile(const std::string& path, SourceFile& file);

// Drops every record, so that the build has their memory; sourceFile() then
// finds each file's size and time as they are, and no hash.
void forgetSourceFiles();

// Reads the file to fill in `file.hash` unless the probe did; false when it
// cannot be read.
bool hashSourceFile(const std::string& path, SourceFile& file);

// A file read in chunks, never held whole.
class FileChunks {
public:
    static constexpr std::size_t kSize = 64 * 1024;

    explicit FileChunks(const std::string& path);
    bool opened() const { return bool(in_); }
    // Reads the next chunk: kSize bytes until the end or an error.
    std::size_t next();
    const unsigned char* bytes() const { return chunk_; }
    bool failed() const { return in_.bad(); }

private:
    std::ifstream in_;
    unsigned char chunk_[kSize];
};
