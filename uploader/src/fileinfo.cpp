#include "fileinfo.h"

#include "core.h"
#include "orv_uploader.h"

#include <openssl/evp.h>

#include <cctype>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace orvup {

namespace {

struct MdCtx
{
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~MdCtx() { EVP_MD_CTX_free(ctx); }
    MdCtx() = default;
    MdCtx(const MdCtx&) = delete;
    MdCtx& operator=(const MdCtx&) = delete;
};

// A resume state is a few hundred bytes; anything far larger is not one.
constexpr size_t kMaxStateBytes = 1 << 20;

} // namespace

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
        ReadOnlyFile f;
        if (f.Open(path) != 0) {
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
                    if (!f.ReadFully(buf.get(), n, off))
                        rc = ORV_ERR_FILE_READ;
                    else
                        EVP_DigestUpdate(md.ctx, buf.get(), n);
                }
            } else {
                for (int i = 0; i < kWindows && rc == 0; ++i) {
                    const int64_t off = (id->size - kWindow) * i / (kWindows - 1);
                    if (!f.ReadFully(buf.get(), kWindow, off))
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
    std::string text;
    if (!ReadSmallFile(StatePath(cacheDir, vid), kMaxStateBytes, &text))
        return false;
    UploadState s;
    std::istringstream lines(text);
    std::string l;
    bool header = false;
    while (std::getline(lines, l)) {
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
        } catch (const std::logic_error&) {
            return false; // a damaged number: the file is treated as absent
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
    return WriteFileAtomically(StatePath(cacheDir, state.vid), out.str());
}

void RemoveState(const std::string& cacheDir, const std::string& vid)
{
    if (!cacheDir.empty() && IsWellFormedVid(vid))
        RemoveFile(StatePath(cacheDir, vid));
}

} // namespace orvup
