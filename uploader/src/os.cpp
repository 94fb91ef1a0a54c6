#include "os.h"

// What every OS shares, on top of the per-OS primitives.

namespace orvup {

bool ReadOnlyFile::ReadFully(char* buf, size_t size, int64_t offset) const
{
    size_t done = 0;
    while (done < size) {
        const int64_t n = ReadAt(buf + done, size - done, offset + static_cast<int64_t>(done));
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool ReadSmallFile(const std::string& path, size_t maxBytes, std::string* text)
{
    ReadOnlyFile f;
    FileIdentity id;
    if (StatFile(path, &id) != 0 || static_cast<uint64_t>(id.size) > maxBytes || f.Open(path) != 0)
        return false;
    std::string out(static_cast<size_t>(id.size), '\0');
    if (!f.ReadFully(&out[0], out.size(), 0))
        return false;
    *text = std::move(out);
    return true;
}

bool MakeFolders(const std::string& path)
{
    // A root, drive or share prefix cannot be created; only the end result counts.
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || IsSeparator(path[pos]))
            MakeFolder(path.substr(0, pos));
    }
    return IsFolder(path);
}

std::string FileName(const std::string& path)
{
    for (size_t pos = path.size(); pos > 0; --pos) {
        if (IsSeparator(path[pos - 1]))
            return path.substr(pos);
    }
    return path;
}

} // namespace orvup
