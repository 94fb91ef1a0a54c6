// The upload library's resume state file, read back from the cache folder.

#include "fuzz.h"

#include "fileinfo.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const std::string cache = QDir(dir.path()).absolutePath().toStdString();
    static const std::string vid = "0123456789abcdef0123456789abcdef_u";
    {
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(
            std::fopen((cache + "/" + vid + ".orvup").c_str(), "wb"), &std::fclose);
        if (!f)
            return 0;
        if (size > 0)
            std::fwrite(data, 1, size, f.get());
    }
    orvup::UploadState state;
    orvup::LoadState(cache, vid, &state);
    return 0;
}
