// The host file that --log names.
#include "app/log_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "res/strings.h"

namespace pelmo {
namespace {

bool Fail(const std::filesystem::path& file, int error, std::ostream& err)
{
    err << FormatTextUtf8(Text::CliLogFailed, file.string() + ": " + std::strerror(error)) << '\n';
    return false;
}

}  // namespace

bool PrepareLogFile(const std::filesystem::path& file, std::ostream& err)
{
    // Opened for appending, so that an existing log is not emptied before the run.
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        return Fail(file, errno, err);
    ::close(fd);
    return true;
}

bool WriteLogFile(const std::filesystem::path& file, const std::string& text, std::ostream& err)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return Fail(file, errno, err);
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            ::close(fd);
            return Fail(file, error, err);
        }
        written += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 || Fail(file, errno, err);
}

}  // namespace pelmo
