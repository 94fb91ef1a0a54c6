#include "os.h"

#include "orv_uploader.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace orvup {

int StatFile(const std::string& path, FileIdentity* id)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return (errno == ENOENT || errno == ENOTDIR) ? ORV_ERR_FILE_NOT_EXIST : ORV_ERR_FILE_READ;
    if (!S_ISREG(st.st_mode))
        return ORV_ERR_FILE_READ;
    id->size = static_cast<int64_t>(st.st_size);
    id->mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return 0;
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

int ReadOnlyFile::Open(const std::string& path)
{
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
    handle_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle_ >= 0)
        return 0;
    return errno == ENOENT ? ORV_ERR_FILE_NOT_EXIST : ORV_ERR_FILE_READ;
}

int64_t ReadOnlyFile::ReadAt(char* buf, size_t size, int64_t offset) const
{
    for (;;) {
        const ssize_t n = ::pread(static_cast<int>(handle_), buf, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 ? -1 : static_cast<int64_t>(n);
    }
}

bool WriteFileAtomically(const std::string& path, const std::string& text)
{
    const std::string tmp = path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? static_cast<size_t>(n) : 0;
    }
    ok = ok && ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    return ok && ::rename(tmp.c_str(), path.c_str()) == 0;
}

void RemoveFile(const std::string& path)
{
    ::unlink(path.c_str());
}

bool IsSeparator(char c)
{
    return c == '/';
}

void MakeFolder(const std::string& path)
{
    ::mkdir(path.c_str(), 0700);
}

bool IsFolder(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string TrimSeparators(std::string path)
{
    while (path.size() > 1 && IsSeparator(path.back()))
        path.pop_back();
    return path;
}

std::FILE* OpenForAppend(const std::string& path)
{
    return std::fopen(path.c_str(), "ae");
}

std::string LocalTimeStamp()
{
    timeval tv{};
    gettimeofday(&tv, nullptr);
    tm local{};
    localtime_r(&tv.tv_sec, &local);
    char stamp[40];
    const size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(stamp + n, sizeof stamp - n, ".%03ld", static_cast<long>(tv.tv_usec / 1000));
    return stamp;
}

} // namespace orvup
