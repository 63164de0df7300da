#include "source_files.h"

#include <d3d9soft.h>
#include <sys/stat.h>

#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

std::mutex recordsMutex;
std::unordered_map<std::string, SourceFile> records;

// Files the probe reads whole (the layer maps larger ones): hashing them
// there costs no read of its own. Which hash a file gets depends on its size
// alone, and only files of one size are compared.
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

    static std::uint64_t word(const unsigned char* bytes) {
        std::uint64_t value;
        std::memcpy(&value, bytes, 8);
        return value;
    }
    static std::uint64_t mix(std::uint64_t hash, std::uint64_t value) {
        hash = (hash ^ value) * 0xff51afd7ed558ccdull;
        return hash ^ (hash >> 29);
    }

private:
    static constexpr std::uint64_t kSeed = 0x9e3779b97f4a7c15ull;
    std::uint64_t lane_[4];
};

std::uint32_t bigEndian(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
}

// A PNG file holds a CRC of each chunk's type and data, so its chunks'
// lengths, types and CRCs, with whatever follows the last whole chunk, stand
// for its contents at a few bytes a chunk. Equal files hash alike either way.
std::uint64_t probedHash(const unsigned char* bytes, std::size_t size) {
    static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::size_t at = 0;
    std::uint64_t chunks = 0;
    if (size >= 8 && std::memcmp(bytes, kPngSignature, 8) == 0) {
        at = 8;
        while (size - at >= 12) {
            const std::uint32_t length = bigEndian(bytes + at);
            if (length > size - at - 12) break;
            chunks = ContentHash::mix(chunks, ContentHash::word(bytes + at));  // length and type
            chunks = ContentHash::mix(chunks, bigEndian(bytes + at + 8 + length));
            at += 12 + std::size_t(length);
        }
    }
    ContentHash hash(size);
    const std::size_t taken = hash.strides(bytes + at, size - at);
    return ContentHash::mix(hash.finish(bytes + at + taken, size - at - taken), chunks);
}

void record(void* /*context*/, const D3D9SoftFileRead* read) {
    SourceFile file;
    file.size = read->Size;
    file.modified = read->ModifiedNanoseconds;
    if (read->Size <= kHashedWhenProbed) {
        file.hash = probedHash(static_cast<const unsigned char*>(read->pBytes), std::size_t(read->Size));
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

void forgetSourceFiles() {
    std::unordered_map<std::string, SourceFile> gone;
    std::lock_guard<std::mutex> lock(recordsMutex);
    records.swap(gone);
}

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
    if (file.size <= kHashedWhenProbed) {  // one no probe read: hashed as a probe would
        std::vector<unsigned char> bytes;
        for (std::size_t size = FileChunks::kSize; size == FileChunks::kSize;) {
            size = chunks.next();
            bytes.insert(bytes.end(), chunks.bytes(), chunks.bytes() + size);
        }
        if (chunks.failed()) return false;
        file.hash = probedHash(bytes.data(), bytes.size());
        file.hashed = true;
        return true;
    }
    ContentHash hash(file.size);
    std::size_t size = chunks.next();
    for (; size == FileChunks::kSize; size = chunks.next()) hash.strides(chunks.bytes(), size);  // whole strides
    if (chunks.failed()) return false;
    const std::size_t taken = hash.strides(chunks.bytes(), size);
    file.hash = hash.finish(chunks.bytes() + taken, size - taken);
    file.hashed = true;
    return true;
}
