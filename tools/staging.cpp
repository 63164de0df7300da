#include "staging.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char kStagingPrefix[] = ".texatlas-staging-";

void onInterrupt(int signal) {
    // The previous output was never touched; the staging directory is
    // removed by the next build.
    const char message[] = "\ntexatlas: interrupted; the previous output is untouched\n";
    ssize_t written = write(STDERR_FILENO, message, sizeof(message) - 1);
    (void)written;
    _exit(128 + signal);
}

}  // namespace

void removeAbandonedStaging(const std::string& outputDirectory) {
    std::error_code code;
    for (fs::directory_iterator entry(outputDirectory.empty() ? "." : outputDirectory, code), end;
         !code && entry != end; entry.increment(code)) {
        std::string name = entry->path().filename().string();
        if (name.compare(0, sizeof(kStagingPrefix) - 1, kStagingPrefix) != 0) continue;
        long pid = std::atol(name.c_str() + sizeof(kStagingPrefix) - 1);
        if (pid > 0 && pid != getpid() && kill(static_cast<pid_t>(pid), 0) == 0) continue;
        std::error_code ignored;
        fs::remove_all(entry->path(), ignored);
    }
}

namespace {

// rename(), or a copy beside the destination and a rename when the two are
// on different file systems.
bool moveFile(const std::string& from, const std::string& to, std::string& error) {
    std::error_code code;
    fs::path parent = fs::path(to).parent_path();
    if (!parent.empty()) fs::create_directories(parent, code);
    fs::rename(from, to, code);
    if (!code) return true;
    std::string temporary = to + ".texatlas-new";
    std::error_code copyCode;
    fs::copy_file(from, temporary, fs::copy_options::overwrite_existing, copyCode);
    if (!copyCode) fs::rename(temporary, to, copyCode);
    if (!copyCode) return true;
    fs::remove(temporary, code);
    error = "cannot move " + from + " to " + to + ": " + copyCode.message();
    return false;
}

}  // namespace

bool openStaging(const std::string& outputDirectory, Staging& staging, std::string& error) {
    removeAbandonedStaging(outputDirectory);
    staging = Staging();
    staging.directory = outputDirectory + kStagingPrefix + std::to_string(getpid()) + "/";
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = onInterrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::error_code code;
    fs::remove_all(staging.directory, code);
    if (!fs::create_directories(staging.directory, code) || code) {
        error = "cannot create the staging directory " + staging.directory + (code ? ": " + code.message() : "");
        return false;
    }
    return true;
}

std::string stageFile(Staging& staging, const std::string& stagedName, const std::string& finalPath) {
    std::string staged = staging.directory + stagedName;
    staging.moves.emplace_back(staged, finalPath);
    return staged;
}

void discardStaging(Staging& staging) {
    std::error_code code;
    if (!staging.directory.empty()) fs::remove_all(staging.directory, code);
    staging = Staging();
}

bool commitStaging(Staging& staging, const std::string& manifestFinal, const std::vector<std::string>& previousOutputs,
                   std::string& error) {
    std::error_code code;
    for (const auto& move : staging.moves) {
        if (fs::is_directory(move.second, code)) {
            error = "cannot replace " + move.second + ": it is a directory; the previous output is untouched";
            discardStaging(staging);
            return false;
        }
    }
    // From here on an interrupt would leave a mix of old and new files.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGHUP);
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    // Without a manifest a half-moved output never passes for up to date.
    fs::remove(manifestFinal, code);
    bool ok = true;
    std::vector<std::string> written;
    for (const auto& move : staging.moves) {
        written.push_back(move.second);
        if (move.second == manifestFinal) continue;
        if (!moveFile(move.first, move.second, error)) {
            error += "; the output is incomplete: build again";
            ok = false;
            break;
        }
    }
    for (const auto& move : staging.moves)
        if (ok && move.second == manifestFinal && !moveFile(move.first, move.second, error)) {
            error += "; the next build will not be skipped";
            ok = false;
        }
    if (ok) {
        for (const std::string& old : previousOutputs) {
            if (std::find(written.begin(), written.end(), old) != written.end()) continue;
            if (!fs::is_regular_file(old, code)) continue;
            fs::remove(old, code);
            fs::path parent = fs::path(old).parent_path();
            if (parent.filename() == "preview") fs::remove(parent, code);  // only when it is empty now
        }
    }
    discardStaging(staging);
    // The old output is gone now: an interrupt may no longer claim otherwise.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    signal(SIGHUP, SIG_DFL);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return ok;
}
