#include "fileinfo.h"

#include "core.h"
#include "orv_uploader.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace orvup {

namespace {

struct Fd
{
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

struct MdCtx
{
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~MdCtx() { EVP_MD_CTX_free(ctx); }
    MdCtx() = default;
    MdCtx(const MdCtx&) = delete;
    MdCtx& operator=(const MdCtx&) = delete;
};

bool ReadFully(int fd, char* buf, size_t size, int64_t offset)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pread(fd, buf + done, size - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

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

int ComputeVid(const std::string& userId, const std::string& path, std::string* vid, FileIdentity* id)
{
    int rc = StatFile(path, id);
    if (rc == ORV_ERR_FILE_NOT_EXIST)
        return rc;
    MdCtx md;
    EVP_DigestInit_ex(md.ctx, EVP_md5(), nullptr);
    std::ostringstream head;
    head << "orv-vid-1\n" << userId << '\n' << id->size << '\n' << id->mtimeNs << '\n';
    const std::string h = head.str();
    EVP_DigestUpdate(md.ctx, h.data(), h.size());
    if (rc == 0) {
        Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (f.fd < 0) {
            rc = ORV_ERR_FILE_READ;
        } else {
            // 16 windows of 4 KiB spread evenly, first and last included:
            // cheap for any size, yet any rewrite of the file's head, tail or
            // length, or of a sampled window, changes the id (and the
            // modification time covers the rest).
            constexpr int64_t kWindow = 4 * 1024;
            constexpr int kWindows = 16;
            std::unique_ptr<char[]> buf(new char[kWindow]);
            if (id->size <= kWindow * kWindows) {
                for (int64_t off = 0; off < id->size && rc == 0; off += kWindow) {
                    const size_t n = static_cast<size_t>(std::min(kWindow, id->size - off));
                    if (!ReadFully(f.fd, buf.get(), n, off))
                        rc = ORV_ERR_FILE_READ;
                    else
                        EVP_DigestUpdate(md.ctx, buf.get(), n);
                }
            } else {
                for (int i = 0; i < kWindows && rc == 0; ++i) {
                    const int64_t off = (id->size - kWindow) * i / (kWindows - 1);
                    if (!ReadFully(f.fd, buf.get(), kWindow, off))
                        rc = ORV_ERR_FILE_READ;
                    else
                        EVP_DigestUpdate(md.ctx, buf.get(), kWindow);
                }
            }
        }
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_DigestFinal_ex(md.ctx, digest, &len);
    char last = '0';
    for (char c : userId) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            last = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            break;
        }
    }
    *vid = ToHex(digest, len) + "_" + last;
    return rc;
}

bool IsWellFormedVid(const std::string& vid)
{
    if (vid.size() != 34 || vid[32] != '_')
        return false;
    for (size_t i = 0; i < 32; ++i) {
        const char c = vid[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return std::isalnum(static_cast<unsigned char>(vid[33])) != 0;
}

std::string StatePath(const std::string& cacheDir, const std::string& vid)
{
    return cacheDir + "/" + vid + ".orvup";
}

bool LoadState(const std::string& cacheDir, const std::string& vid, UploadState* state)
{
    if (cacheDir.empty() || !IsWellFormedVid(vid))
        return false;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(StatePath(cacheDir, vid).c_str(), "r"),
                                                      &std::fclose);
    if (!f)
        return false;
    UploadState s;
    char line[4096];
    bool header = false;
    while (std::fgets(line, sizeof line, f.get())) {
        std::string l(line);
        while (!l.empty() && (l.back() == '\n' || l.back() == '\r'))
            l.pop_back();
        if (!header) {
            if (l != "orvup-state 1")
                return false;
            header = true;
            continue;
        }
        const auto eq = l.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = l.substr(0, eq);
        const std::string value = l.substr(eq + 1);
        try {
            if (key == "vid")
                s.vid = value;
            else if (key == "user")
                s.userId = value;
            else if (key == "service")
                s.serviceUrl = value;
            else if (key == "url")
                s.uploadUrl = value;
            else if (key == "size")
                s.file.size = std::stoll(value);
            else if (key == "mtime")
                s.file.mtimeNs = std::stoll(value);
            else if (key == "platform")
                s.platform = std::stoi(value);
            else if (key == "cp") {
                const auto comma = value.find(',');
                if (comma == std::string::npos)
                    return false;
                s.checkpoints.emplace_back(std::stoll(value.substr(0, comma)),
                                           std::stoull(value.substr(comma + 1), nullptr, 16));
            }
        } catch (...) {
            return false; // a damaged file is treated as absent
        }
    }
    if (!header || s.vid != vid)
        return false;
    *state = std::move(s);
    return true;
}

bool SaveState(const std::string& cacheDir, const UploadState& state)
{
    if (cacheDir.empty())
        return false;
    const std::string path = StatePath(cacheDir, state.vid);
    const std::string tmp = path + ".tmp";
    std::ostringstream out;
    out << "orvup-state 1\n"
        << "vid=" << state.vid << '\n'
        << "user=" << state.userId << '\n'
        << "service=" << state.serviceUrl << '\n'
        << "url=" << state.uploadUrl << '\n'
        << "size=" << state.file.size << '\n'
        << "mtime=" << state.file.mtimeNs << '\n'
        << "platform=" << state.platform << '\n';
    for (const auto& cp : state.checkpoints)
        out << "cp=" << cp.first << ',' << std::hex << cp.second << std::dec << '\n';
    const std::string text = out.str();
    {
        Fd f(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        if (f.fd < 0)
            return false;
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(f.fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        if (::fdatasync(f.fd) != 0)
            return false;
    }
    return ::rename(tmp.c_str(), path.c_str()) == 0;
}

void RemoveState(const std::string& cacheDir, const std::string& vid)
{
    if (!cacheDir.empty() && IsWellFormedVid(vid))
        ::unlink(StatePath(cacheDir, vid).c_str());
}

} // namespace orvup
