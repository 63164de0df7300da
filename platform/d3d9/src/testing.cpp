#include <d3d9_testing.h>

#include <map>
#include <mutex>
#include <string>

#include "injection.h"

namespace d3d9soft {

std::atomic<long> liveDevices{0};
std::atomic<long> liveTextures{0};
std::atomic<long> liveSurfaces{0};

namespace {

struct Injection {
    int calls = 0;
    int failAt = 0;  // call number that fails; 0: none
    HRESULT result = S_OK;
};

std::mutex mutex;
thread_local int internalDepth = 0;
std::map<std::string, Injection>& injections() {
    static std::map<std::string, Injection> table;
    return table;
}

}  // namespace

InternalCalls::InternalCalls() { ++internalDepth; }
InternalCalls::~InternalCalls() { --internalDepth; }

bool insideLayerCall() { return internalDepth > 0; }

bool injectedFailure(const char* function, HRESULT& result) {
    if (insideLayerCall()) return false;
    std::lock_guard<std::mutex> lock(mutex);
    Injection& entry = injections()[function];
    ++entry.calls;
    if (entry.failAt != entry.calls) return false;
    entry.failAt = 0;
    result = entry.result;
    return true;
}

LiveObjects liveObjects() { return LiveObjects{liveDevices.load(), liveTextures.load(), liveSurfaces.load()}; }

void failCall(const char* function, int nth, HRESULT result) {
    std::lock_guard<std::mutex> lock(mutex);
    Injection& entry = injections()[function];
    entry.failAt = entry.calls + nth;
    entry.result = result;
}

int callCount(const char* function) {
    std::lock_guard<std::mutex> lock(mutex);
    auto found = injections().find(function);
    return found == injections().end() ? 0 : found->second.calls;
}

void resetCalls() {
    std::lock_guard<std::mutex> lock(mutex);
    injections().clear();
}

}  // namespace d3d9soft
