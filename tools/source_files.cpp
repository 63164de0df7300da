#include "source_files.h"

#include <d3d9soft.h>
#include <sys/stat.h>

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

std::mutex recordsMutex;
std::unordered_map<std::string, SourceFile> records;

// Files the probe reads whole (the layer maps larger ones): hashing them
// there costs no read of its own.
constexpr std::uint64_t kHashedWhenProbed = 1 << 20;

// Four words a step in four lanes: every probed file is hashed and most are
// never compared, so speed counts more than spread. Files of one hash are
// compared byte for byte.
class ContentHash {
public:
    static constexpr std::size_t kStride = 32;

    explicit ContentHash(std::uint64_t size) : lane_{kSeed ^ size, kSeed + 1, kSeed + 2, kSeed + 3} {}

    // Takes the whole strides of `bytes`; returns how many bytes that is.
    std::size_t strides(const unsigned char* bytes, std::size_t size) {
        std::size_t i = 0;
        for (; i + kStride <= size; i += kStride)
            for (int k = 0; k < 4; ++k) lane_[k] = mix(lane_[k], word(bytes + i + 8 * k));
        return i;
    }

    // The hash, with the last bytes (fewer than a stride).
    std::uint64_t finish(const unsigned char* rest, std::size_t size) const {
        unsigned char tail[kStride] = {};
        if (size > 0) std::memcpy(tail, rest, size);
        std::uint64_t hash = 0;
        for (int k = 0; k < 4; ++k) hash = mix(hash, mix(lane_[k], word(tail + 8 * k)));
        return hash;
    }

private:
    static constexpr std::uint64_t kSeed = 0x9e3779b97f4a7c15ull;
    static std::uint64_t word(const unsigned char* bytes) {
        std::uint64_t value;
        std::memcpy(&value, bytes, 8);
        return value;
    }
    static std::uint64_t mix(std::uint64_t hash, std::uint64_t value) {
        hash = (hash ^ value) * 0xff51afd7ed558ccdull;
        return hash ^ (hash >> 29);
    }
    std::uint64_t lane_[4];
};

void record(void* /*context*/, const D3D9SoftFileRead* read) {
    SourceFile file;
    file.size = read->Size;
    file.modified = read->ModifiedNanoseconds;
    if (read->Size <= kHashedWhenProbed) {
        const auto* bytes = static_cast<const unsigned char*>(read->pBytes);
        ContentHash hash(read->Size);
        const std::size_t taken = hash.strides(bytes, std::size_t(read->Size));
        file.hash = hash.finish(bytes + taken, std::size_t(read->Size) - taken);
        file.hashed = true;
    }
    std::lock_guard<std::mutex> lock(recordsMutex);
    records[read->pSrcFile] = file;
}

bool recorded(const std::string& path, SourceFile& file) {
    std::lock_guard<std::mutex> lock(recordsMutex);
    auto found = records.find(path);
    if (found == records.end()) return false;
    file = found->second;
    return true;
}

}  // namespace

SourceRecording::SourceRecording() { D3D9SoftSetFileReadHook(record, nullptr); }

SourceRecording::~SourceRecording() { D3D9SoftSetFileReadHook(nullptr, nullptr); }

bool sourceFile(const std::string& path, SourceFile& file) {
    if (recorded(path, file)) return true;
    // No probe read it (none recorded, or it could not be opened): its
    // state now, and its hash only if asked.
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
    file = SourceFile{};
    file.size = std::uint64_t(status.st_size);
    file.modified = static_cast<long long>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return true;
}

FileChunks::FileChunks(const std::string& path) : in_(path, std::ios::binary) {}

std::size_t FileChunks::next() {
    in_.read(reinterpret_cast<char*>(chunk_), kSize);
    return std::size_t(in_.gcount());
}

bool hashSourceFile(const std::string& path, SourceFile& file) {
    if (file.hashed) return true;
    FileChunks chunks(path);
    if (!chunks.opened()) return false;
    ContentHash hash(file.size);
    std::size_t size = chunks.next();
    for (; size == FileChunks::kSize; size = chunks.next()) hash.strides(chunks.bytes(), size);  // whole strides
    if (chunks.failed()) return false;
    const std::size_t taken = hash.strides(chunks.bytes(), size);
    file.hash = hash.finish(chunks.bytes() + taken, size - taken);
    file.hashed = true;
    return true;
}
