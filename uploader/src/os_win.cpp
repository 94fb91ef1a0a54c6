#include "os.h"

#include "orv_uploader.h"

#include <windows.h>

#include <cstdio>

namespace orvup {

namespace {

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

struct Handle
{
    HANDLE h;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle()
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

} // namespace

int StatFile(const std::string& path, FileIdentity* id)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD err = GetLastError();
        return (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) ? ORV_ERR_FILE_NOT_EXIST
                                                                            : ORV_ERR_FILE_READ;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return ORV_ERR_FILE_READ;
    id->size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const int64_t ticks = (static_cast<int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
    id->mtimeNs = ticks * 100; // 100 ns units since 1601
    return 0;
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (handle_ != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

int ReadOnlyFile::Open(const std::string& path)
{
    if (handle_ != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    // Others may go on writing, renaming or deleting the file; the run notices.
    const HANDLE h =
        CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    handle_ = reinterpret_cast<intptr_t>(h);
    if (h != INVALID_HANDLE_VALUE)
        return 0;
    const DWORD err = GetLastError();
    return (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) ? ORV_ERR_FILE_NOT_EXIST
                                                                        : ORV_ERR_FILE_READ;
}

int64_t ReadOnlyFile::ReadAt(char* buf, size_t size, int64_t offset) const
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xffffffff);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(size > 0x40000000 ? 0x40000000 : size);
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buf, want, &got, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return static_cast<int64_t>(got);
}

bool WriteFileAtomically(const std::string& path, const std::string& text)
{
    const std::wstring tmp = Wide(path + ".tmp");
    {
        Handle f(CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr));
        if (f.h == INVALID_HANDLE_VALUE)
            return false;
        size_t done = 0;
        while (done < text.size()) {
            DWORD n = 0;
            if (!WriteFile(f.h, text.data() + done, static_cast<DWORD>(text.size() - done), &n, nullptr) ||
                n == 0)
                return false;
            done += n;
        }
        if (!FlushFileBuffers(f.h))
            return false;
    }
    return MoveFileExW(tmp.c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
           0;
}

void RemoveFile(const std::string& path)
{
    DeleteFileW(Wide(path).c_str());
}

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

void MakeFolder(const std::string& path)
{
    CreateDirectoryW(Wide(path).c_str(), nullptr);
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string TrimSeparators(std::string path)
{
    while (path.size() > 1 && IsSeparator(path.back()) && !(path.size() == 3 && path[1] == ':'))
        path.pop_back();
    return path;
}

std::FILE* OpenForAppend(const std::string& path)
{
    return _wfopen(Wide(path).c_str(), L"a");
}

std::string LocalTimeStamp()
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return stamp;
}

} // namespace orvup
