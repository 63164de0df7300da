#include "decode_ahead.h"

#include <d3d9_testing.h>
#include <d3d9soft.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <tuple>
#include <vector>

#include "injection.h"
#include "objects.h"

namespace d3d9soft {

using imagefile::ByteView;
using imagefile::TextureLoadParameters;

namespace {

// Enough to keep a thread ahead across a page being saved and the largest
// sources at the start of a group, small beside the page itself (a 2048 x
// 2048 page with its levels takes 22 MiB). With 8 MiB the second core
// waited through much of an A8R8G8B8 group's first pages; 16 MiB was no
// faster than 12 and peaked higher.
constexpr std::size_t kDefaultCacheBytes = std::size_t(12) << 20;
constexpr std::size_t kNone = ~std::size_t(0);

thread_local bool decodeThread = false;
thread_local SoftDevice* compressionDevice = nullptr;

// What stat tells of a file, and whether that alone can show a later change.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modified = 0, changed = 0;  // nanoseconds
    // Every write, truncation, rename or time change sets the change time to
    // the clock's time. Once it is older than the clock by more than any file
    // system's granularity (FAT's two seconds), a later change cannot leave it
    // as it was; a file changed more recently is compared byte for byte.
    bool settled = false;

    explicit FileIdentity(const struct stat& status)
        : device(status.st_dev),
          inode(status.st_ino),
          size(status.st_size),
          modified(imagefile::nanoseconds(status.st_mtim)),
          changed(imagefile::nanoseconds(status.st_ctim)) {}
    FileIdentity() = default;

    bool operator==(const FileIdentity& other) const {
        return std::tie(device, inode, size, modified, changed) ==
               std::tie(other.device, other.inode, other.size, other.modified, other.changed);
    }
};

std::atomic<long long> settledAfterNs{5'000'000'000};

// The file's bytes as they are now, read rather than mapped: a mapping of a
// file that shrinks under it faults, and the copy must outlive any rewrite.
bool readFile(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes, FileIdentity& identity) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);  // before the stat: a change after it is later still
    struct stat status {};
    bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
              std::uint64_t(status.st_size) <= limit;
    if (ok) {
        identity = FileIdentity(status);
        identity.settled = identity.changed < imagefile::nanoseconds(now) - settledAfterNs.load();
    }
    try {
        if (ok) bytes.resize(std::size_t(status.st_size));
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    ok = ok && imagefile::readUpTo(fd, bytes.data(), bytes.size()) == bytes.size();
    ::close(fd);
    return ok;
}

// Whether a settled file is as it was read.
bool fileIsStill(const char* path, const FileIdentity& identity) {
    struct stat status {};
    return ::stat(path, &status) == 0 && S_ISREG(status.st_mode) && FileIdentity(status) == identity;
}

// Whether the file holds exactly `bytes`, read in pieces: mapping it would
// cost an unmapping, which stops every other thread of the process.
bool fileHolds(const char* path, const std::vector<std::uint8_t>& bytes) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    bool same = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && std::uint64_t(status.st_size) == bytes.size();
    std::uint8_t piece[16384];
    for (std::size_t done = 0; same;) {
        ssize_t got = ::read(fd, piece, sizeof piece);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {  // the end, where the bytes must end too
            same = got == 0 && done == bytes.size();
            break;
        }
        same =
            std::size_t(got) <= bytes.size() - done && std::memcmp(piece, bytes.data() + done, std::size_t(got)) == 0;
        done += std::size_t(got);
    }
    ::close(fd);
    return same;
}

}  // namespace

enum class EntryState { Pending, Reading, Decoding, Ready, Failed, Gone };

struct Entry {
    std::string path;
    TextureLoadParameters load;
    EntryState state = EntryState::Pending;
    bool fileRead = false;  // Reading: the claim holds the file, waiting for room
    FileIdentity identity;
    std::vector<std::uint8_t> file;  // the bytes the texture was made from, unless settled
    SoftTexture* texture = nullptr;  // holds no device reference until taken
    D3DXIMAGE_INFO info{};
    std::size_t charge = 0;  // bytes counted against the bound
};

class DecodeAhead {
public:
    DecodeAhead(SoftDevice* device, std::vector<Entry> entries, std::size_t bound)
        : device(device), entries(std::move(entries)), bound(bound) {}
    ~DecodeAhead() { stop(); }

    void startThreads() {
        std::lock_guard<std::mutex> lock(mutex);
        addThreads();
    }

    void stop() {
        std::vector<std::thread> joining;
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
            joining.swap(threads);
        }
        changed.notify_all();
        for (std::thread& thread : joining) thread.join();
        std::lock_guard<std::mutex> lock(mutex);
        for (Entry& entry : entries) drop(entry);
        changed.notify_all();
    }

    IDirect3DTexture9* take(const char* path, const TextureLoadParameters& load, D3DXIMAGE_INFO* info);

    unsigned lend(void (*work)(void*), void* context, unsigned wanted) {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping || task || running == 0) return 0;
        task = work;
        taskContext = context;
        ++taskGeneration;
        taskWanted = std::min(wanted, running);
        taskJoined = 0;
        changed.notify_all();
        return taskWanted;
    }

    void withdraw() {
        std::unique_lock<std::mutex> lock(mutex);
        task = nullptr;
        helpersDone.wait(lock, [&] { return assisting == 0; });
    }

    DecodeAheadCounts counts() {
        std::lock_guard<std::mutex> lock(mutex);
        return DecodeAheadCounts{served, stale, takenOver, held, peak};
    }

    void waitIdle() {
        std::unique_lock<std::mutex> lock(mutex);
        idle.wait(lock, [&] { return stopping || waiting == running; });
    }

private:
    // An entry a thread claimed and read.
    struct Claim {
        std::size_t index = kNone;
        std::vector<std::uint8_t> file;
        FileIdentity identity;
        std::size_t cost = 0;  // the file and the texture it makes
    };

    void run();
    bool claimNext(std::unique_lock<std::mutex>& lock, Claim& claim);
    bool fits(const Claim& claim) const { return held + claim.cost <= bound; }
    void decode(std::unique_lock<std::mutex>& lock, Claim& claim);
    void giveBack(Claim& claim);

    unsigned threadsWanted() const { return D3D9SoftGetThreadCount() - 1; }

    // Tops the threads up to the count; called with the lock held.
    void addThreads() {
        while (!stopping && running < threadsWanted() && next < entries.size()) {
            try {
                threads.emplace_back(&DecodeAhead::run, this);
            } catch (const std::system_error&) {
                return;  // the ones running do the work, or the loads decode themselves
            }
            ++running;
        }
    }

    void charge(std::size_t bytes) {
        held += bytes;
        peak = std::max<unsigned long long>(peak, held);
    }

    // Frees what an entry holds; a thread working on it frees its own part.
    void drop(Entry& entry) {
        if (entry.texture) entry.texture->Release();
        entry.texture = nullptr;
        held -= entry.charge;
        entry.charge = 0;
        std::vector<std::uint8_t>().swap(entry.file);
        entry.state = EntryState::Gone;
    }

    SoftDevice* const device;
    std::vector<Entry> entries;  // never resized: threads keep indices into it
    const std::size_t bound;

    std::mutex mutex;
    std::condition_variable changed, idle, helpersDone;
    std::vector<std::thread> threads;
    unsigned running = 0, waiting = 0;
    bool stopping = false;
    std::size_t next = 0;    // the first entry a thread may start on
    std::size_t cursor = 0;  // entries before it are taken or passed over
    unsigned long long held = 0, peak = 0;
    long served = 0, stale = 0, takenOver = 0;

    // A compression offered to the threads.
    void (*task)(void*) = nullptr;
    void* taskContext = nullptr;
    unsigned taskGeneration = 0, taskWanted = 0, taskJoined = 0, assisting = 0;
};

// Claims the next pending entry and reads its file. True when it did
// anything, the lock having been let go meanwhile; `claim` then holds the
// entry unless it turned out unusable or was taken over.
bool DecodeAhead::claimNext(std::unique_lock<std::mutex>& lock, Claim& claim) {
    while (next < entries.size() && entries[next].state != EntryState::Pending) ++next;
    if (next == entries.size() || held >= bound) return false;
    const std::size_t index = next++;
    Entry& entry = entries[index];
    entry.state = EntryState::Reading;
    const std::string path = entry.path;
    const TextureLoadParameters load = entry.load;
    lock.unlock();
    D3DXIMAGE_INFO info{};
    const bool readable = readFile(path, bound, claim.file, claim.identity) &&
                          SUCCEEDED(imagefile::probeImage({claim.file.data(), claim.file.size()}, info));
    const std::size_t cost = readable ? claim.file.size() + imagefile::estimatedTextureBytes(info, load) : 0;
    lock.lock();
    // One that could never fit is left to its own load, so that holding it
    // ahead never adds a large texture to the library's own at the peak.
    if (entries[index].state == EntryState::Reading && (!readable || cost > bound)) {
        entries[index].state = EntryState::Failed;
        changed.notify_all();
    }
    if (entries[index].state == EntryState::Reading) {
        entries[index].fileRead = true;
        claim.index = index;
        claim.cost = cost;
        changed.notify_all();  // a load waiting on this read
    } else {
        claim = Claim();
    }
    return true;
}

void DecodeAhead::giveBack(Claim& claim) {
    if (claim.index != kNone && entries[claim.index].state == EntryState::Reading) {
        entries[claim.index].state = EntryState::Pending;
        entries[claim.index].fileRead = false;
        next = std::min(next, claim.index);
    }
    claim = Claim();
}

void DecodeAhead::decode(std::unique_lock<std::mutex>& lock, Claim& claim) {
    DetachedTextures detached;  // the cache holds no device reference
    entries[claim.index].state = EntryState::Decoding;
    charge(claim.cost);
    const TextureLoadParameters load = entries[claim.index].load;
    lock.unlock();
    IDirect3DTexture9* made = nullptr;
    D3DXIMAGE_INFO info{};
    HRESULT hr;
    try {
        hr = imagefile::createTexture(device, {claim.file.data(), claim.file.size()}, load, &info, &made);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    SoftTexture* texture = SUCCEEDED(hr) ? dynamic_cast<SoftTexture*>(made) : nullptr;
    lock.lock();
    held -= claim.cost;
    Entry& done = entries[claim.index];
    if (done.state == EntryState::Decoding && texture) {
        done.state = EntryState::Ready;
        done.texture = texture;
        done.info = info;
        done.identity = claim.identity;
        if (!claim.identity.settled) done.file = std::move(claim.file);
        done.charge = done.file.size() + texture->byteSize();
        charge(done.charge);
    } else {
        if (made) made->Release();
        if (done.state == EntryState::Decoding) done.state = EntryState::Failed;
    }
    claim = Claim();
    changed.notify_all();
}

void DecodeAhead::run() {
    decodeThread = true;
    InternalCalls internal;     // neither counted nor failed by tests, no host hooks
    DetachedTextures detached;  // the device's last release never comes from here
    std::unique_lock<std::mutex> lock(mutex);
    unsigned helped = 0;
    Claim claim;  // read, waiting for room
    while (!stopping && running <= threadsWanted()) {
        // A compression keeps the host waiting; a file ahead does not.
        if (task && helped != taskGeneration && taskJoined < taskWanted) {
            helped = taskGeneration;
            ++taskJoined;
            ++assisting;
            void (*work)(void*) = task;
            void* context = taskContext;
            lock.unlock();
            work(context);
            lock.lock();
            if (--assisting == 0) helpersDone.notify_all();
            continue;
        }
        if (claim.index != kNone && entries[claim.index].state != EntryState::Reading) claim = Claim();  // taken over
        if (claim.index == kNone) {
            if (claimNext(lock, claim)) continue;
        } else if (fits(claim)) {
            decode(lock, claim);
            continue;
        }
        ++waiting;
        idle.notify_all();
        changed.wait(lock);
        --waiting;
    }
    giveBack(claim);
    --running;
    idle.notify_all();
    changed.notify_all();
}

// Staleness: a settled file is stat'ed again; one changed recently is read
// again and compared byte for byte, as its size, times and inode can all stay
// the same across a rewrite within one tick of the file system's clock.
IDirect3DTexture9* DecodeAhead::take(const char* path, const TextureLoadParameters& load, D3DXIMAGE_INFO* info) {
    std::unique_lock<std::mutex> lock(mutex);
    std::size_t found = cursor;
    while (found < entries.size() &&
           (entries[found].state == EntryState::Gone || !(entries[found].load == load) || entries[found].path != path))
        ++found;
    if (found == entries.size()) return nullptr;  // not announced, or asked for again
    for (std::size_t passed = cursor; passed < found; ++passed) {
        Entry& entry = entries[passed];
        if (entry.state == EntryState::Reading || entry.state == EntryState::Decoding)
            entry.state = EntryState::Gone;
        else
            drop(entry);
    }
    cursor = found + 1;
    // Caught up with the threads: rather than wait, decode the next one. A
    // file being read is waited for too, as reading it again would waste the
    // thread's read; one read and waiting for room is taken over.
    const auto busy = [&] {
        const Entry& entry = entries[found];
        return entry.state == EntryState::Decoding || (entry.state == EntryState::Reading && !entry.fileRead);
    };
    while (busy()) {
        Claim help;
        const bool did = claimNext(lock, help);
        if (help.index != kNone && fits(help)) {
            decode(lock, help);
            continue;
        }
        const bool noRoom = help.index != kNone;
        giveBack(help);
        // Reading let go of the lock: the entry may be done by now.
        if ((!did || noRoom) && busy()) changed.wait(lock);
    }
    Entry& entry = entries[found];
    SoftTexture* texture = nullptr;
    std::vector<std::uint8_t> decodedFrom;
    const FileIdentity identity = entry.identity;
    D3DXIMAGE_INFO sourceInfo = entry.info;
    if (entry.state == EntryState::Ready) {
        std::swap(texture, entry.texture);
        decodedFrom.swap(entry.file);
    }
    if (entry.state == EntryState::Reading) {
        entry.state = EntryState::Gone;
        ++takenOver;
    } else {
        drop(entry);
    }
    addThreads();
    changed.notify_all();
    lock.unlock();
    if (!texture) return nullptr;
    const bool same = identity.settled ? fileIsStill(path, identity) : fileHolds(path, decodedFrom);
    if (!same) texture->Release();
    lock.lock();
    ++(same ? served : stale);
    if (!same) return nullptr;
    texture->attachDevice();
    if (info) *info = sourceInfo;
    return texture;
}

void stopDecodeAhead(DecodeAhead& ahead) { ahead.stop(); }

IDirect3DTexture9* takeDecodedAhead(IDirect3DDevice9* device, const char* path, const TextureLoadParameters& load,
                                    D3DXIMAGE_INFO* info) {
    SoftDevice* soft = dynamic_cast<SoftDevice*>(device);
    std::shared_ptr<DecodeAhead> ahead = soft ? soft->decodeAhead() : nullptr;
    return ahead ? ahead->take(path, load, info) : nullptr;
}

CompressionTarget::CompressionTarget(IDirect3DSurface9* destination) : previous(compressionDevice) {
    SoftSurface* surface = dynamic_cast<SoftSurface*>(destination);
    compressionDevice = surface ? surface->owner()->owner() : nullptr;
}

CompressionTarget::~CompressionTarget() { compressionDevice = static_cast<SoftDevice*>(previous); }

BorrowedThreads::BorrowedThreads(void (*task)(void*), void* context, unsigned wanted) {
    if (decodeThread || !compressionDevice || wanted == 0) return;
    lender = compressionDevice->decodeAhead();
    if (lender) lent = lender->lend(task, context, wanted);
}

BorrowedThreads::~BorrowedThreads() {
    if (lent) lender->withdraw();
}

bool onDecodeThread() { return decodeThread; }

void setSettledAfter(long long nanoseconds) { settledAfterNs = nanoseconds; }

DecodeAheadCounts decodeAheadCounts(IDirect3DDevice9* device) {
    SoftDevice* soft = dynamic_cast<SoftDevice*>(device);
    std::shared_ptr<DecodeAhead> ahead = soft ? soft->decodeAhead() : nullptr;
    return ahead ? ahead->counts() : DecodeAheadCounts{};
}

void waitForDecodeAhead(IDirect3DDevice9* device) {
    SoftDevice* soft = dynamic_cast<SoftDevice*>(device);
    if (std::shared_ptr<DecodeAhead> ahead = soft ? soft->decodeAhead() : nullptr) ahead->waitIdle();
}

}  // namespace d3d9soft

using namespace d3d9soft;

extern "C" HRESULT D3D9SoftAnnounceTextureLoads(IDirect3DDevice9* device, const D3D9SoftTextureLoad* loads, UINT count,
                                                unsigned long long cacheBytes) {
    SoftDevice* soft = dynamic_cast<SoftDevice*>(device);
    if (!soft || (count && !loads)) return D3DERR_INVALIDCALL;
    std::shared_ptr<DecodeAhead> next;
    if (count) {
        try {
            std::vector<Entry> entries(count);
            for (UINT i = 0; i < count; ++i) {
                const D3D9SoftTextureLoad& load = loads[i];
                if (!load.pSrcFile) return D3DERR_INVALIDCALL;
                entries[i].path = load.pSrcFile;
                entries[i].load =
                    TextureLoadParameters{load.Width, load.Height, load.MipLevels, load.Usage,   load.Format,
                                          load.Pool,  load.Filter, load.MipFilter, load.ColorKey};
            }
            const std::size_t bound =
                cacheBytes == 0 ? kDefaultCacheBytes : std::size_t(std::min<unsigned long long>(cacheBytes, SIZE_MAX));
            next = std::make_shared<DecodeAhead>(soft, std::move(entries), bound);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    if (std::shared_ptr<DecodeAhead> old = soft->swapDecodeAhead(next)) old->stop();
    if (next) next->startThreads();
    return D3D_OK;
}

extern "C" HRESULT D3D9SoftClearTextureLoads(IDirect3DDevice9* device) {
    return D3D9SoftAnnounceTextureLoads(device, nullptr, 0, 0);
}
