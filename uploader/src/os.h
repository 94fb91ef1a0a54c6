#pragma once
// The operating-system calls of the library: file access, folders and the
// local clock. The primitives have one implementation per OS (os_unix.cpp,
// os_win.cpp), picked by the build; what is built on them is shared (os.cpp).
// Paths are UTF-8 on every OS.

#include <cstdint>
#include <cstdio>
#include <string>

namespace orvup {

// What tells one version of a file from another without reading it.
struct FileIdentity
{
    int64_t size = 0;
    int64_t mtimeNs = 0;
    bool operator==(const FileIdentity& o) const { return size == o.size && mtimeNs == o.mtimeNs; }
    bool operator!=(const FileIdentity& o) const { return !(*this == o); }
};

// 0, ORV_ERR_FILE_NOT_EXIST, or ORV_ERR_FILE_READ (not a regular file).
int StatFile(const std::string& path, FileIdentity* id);

// Whether c separates path components on this OS.
bool IsSeparator(char c);
// Creates one folder, readable by the owner only; whether it exists afterwards
// is asked with IsFolder.
void MakeFolder(const std::string& path);
bool IsFolder(const std::string& path);

// A file opened for reading at any offset, closed when it goes.
class ReadOnlyFile
{
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // 0, ORV_ERR_FILE_NOT_EXIST or ORV_ERR_FILE_READ.
    int Open(const std::string& path);
    // Up to size bytes from offset: the count, 0 at the end, -1 on an error.
    int64_t ReadAt(char* buf, size_t size, int64_t offset) const;
    // Exactly size bytes from offset, or false.
    bool ReadFully(char* buf, size_t size, int64_t offset) const;

private:
    intptr_t handle_ = -1; // the OS's descriptor or handle
};

// The whole file when it exists, is readable and holds at most maxBytes.
bool ReadSmallFile(const std::string& path, size_t maxBytes, std::string* text);
// Replaces the file's content; a crash leaves either the old or the new one.
bool WriteFileAtomically(const std::string& path, const std::string& text);
void RemoveFile(const std::string& path);
// Creates the folder and its missing parents, readable by the owner only.
// Whether the folder exists afterwards.
bool MakeFolders(const std::string& path);
// The path without a trailing separator (a root stays as it is).
std::string TrimSeparators(std::string path);
// The last component of a path.
std::string FileName(const std::string& path);
// For the log: null when the file cannot be opened.
std::FILE* OpenForAppend(const std::string& path);
// "YYYY-MM-DD HH:MM:SS.mmm" in local time.
std::string LocalTimeStamp();

} // namespace orvup
