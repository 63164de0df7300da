// Writing a whole file at once, with the system's reason when it fails.
#pragma once

#include <string>

// Writes `text` to `path`. On failure `error` is "cannot write <shownAs>:
// <the system's reason>"; `shownAs` is the name the user knows the file by
// (the final one, for a file written into the staging folder).
bool writeTextFile(const std::string& path, const std::string& text, const std::string& shownAs, std::string& error);
