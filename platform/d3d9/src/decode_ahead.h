// Decoding ahead: the files a host announced for a device are loaded on the
// layer's threads before the host asks for them, and handed over when it does.
#pragma once

#include <d3dx9.h>

#include <memory>

#include "texture_load.h"

namespace d3d9soft {

class DecodeAhead;

// Stops the threads and frees every texture not taken.
void stopDecodeAhead(DecodeAhead& ahead);

// The texture decoded ahead for this load, now holding its device, if the
// file still holds the bytes it was decoded from; else null, and the caller
// loads the file itself.
IDirect3DTexture9* takeDecodedAhead(IDirect3DDevice9* device, const char* path,
                                    const imagefile::TextureLoadParameters& load, D3DXIMAGE_INFO* info);

// While one is alive, block compression on this thread writes into
// `destination`, whose device's decode threads it may borrow.
class CompressionTarget {
public:
    explicit CompressionTarget(IDirect3DSurface9* destination);
    ~CompressionTarget();
    CompressionTarget(const CompressionTarget&) = delete;
    CompressionTarget& operator=(const CompressionTarget&) = delete;

private:
    void* previous;
};

// Offers `task(context)` to up to `wanted` decode threads of the current
// compression target's device; they join once done with the file in hand.
// The destructor withdraws the offer and waits for those that joined.
class BorrowedThreads {
public:
    BorrowedThreads(void (*task)(void*), void* context, unsigned wanted);
    ~BorrowedThreads();
    BorrowedThreads(const BorrowedThreads&) = delete;
    BorrowedThreads& operator=(const BorrowedThreads&) = delete;

    // Threads that may join: they count against the compression's own.
    unsigned count() const { return lent; }

private:
    std::shared_ptr<DecodeAhead> lender;
    unsigned lent = 0;
};

// True on a decode thread: its compression stays on it, as it is one of the
// threads the count allows already.
bool onDecodeThread();

}  // namespace d3d9soft
