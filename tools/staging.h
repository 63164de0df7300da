// All-or-nothing output: a build writes everything into a staging directory
// inside the output directory and moves it into place only when all of it
// succeeded, so that a failure or an interrupt leaves the previous complete
// output as it was.
#pragma once

#include <string>
#include <vector>

struct Staging {
    std::string directory;  // ends in '/'
    // Staged file and the place it goes, in the order they are moved.
    std::vector<std::pair<std::string, std::string>> moves;
};

// Removes the staging directories in `outputDirectory` of builds that are no
// longer running (killed ones leave theirs).
void removeAbandonedStaging(const std::string& outputDirectory);

// Creates `<output>/.texatlas-staging-<pid>/`,
// removes what interrupted builds left there, and makes an interrupt leave
// the previous output alone.
bool openStaging(const std::string& outputDirectory, Staging& staging, std::string& error);

// Where a file bound for `finalPath` is written first; the move is recorded.
std::string stageFile(Staging& staging, const std::string& stagedName, const std::string& finalPath);

// Removes the staging directory and everything in it.
void discardStaging(Staging& staging);

// Moves every staged file into place, the manifest last; then removes the
// files in `previousOutputs` that this build did not write. The staging
// directory is gone afterwards; on failure `error` says what state the
// output is in.
bool commitStaging(Staging& staging, const std::string& manifestFinal, const std::vector<std::string>& previousOutputs,
                   std::string& error);
