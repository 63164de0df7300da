#include "text_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool writeTextFile(const std::string& path, const std::string& text, const std::string& shownAs, std::string& error) {
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    int failure = file < 0 ? errno : 0;
    for (size_t done = 0; !failure && done < text.size();) {
        ssize_t written = write(file, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0)
            failure = written < 0 ? errno : EIO;
        else
            done += static_cast<size_t>(written);
    }
    if (file >= 0 && close(file) != 0 && !failure) failure = errno;
    if (!failure) return true;
    error = "cannot write " + shownAs + ": " + std::strerror(failure);
    return false;
}
