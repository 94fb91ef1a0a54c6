// The vid files the batch search imports: lines of vids, separated by commas,
// semicolons or spaces, with anything else in between.

#include "fuzz.h"

#include "ui/videolist/vidtextbrowser.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orvfuzz::QuietLog();
    static QTemporaryDir* dir = new QTemporaryDir;
    const QString path = dir->filePath(QStringLiteral("vids.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    const auto scan = VidTextBrowser::ScanFiles({path}, VidTextBrowser::kMaxVids);
    if (scan.vids.size() > VidTextBrowser::kMaxVids || scan.total < scan.vids.size() || scan.errors < 0)
        std::abort();
    for (const QString& vid : scan.vids)
        if (!VidTextBrowser::IsVid(vid))
            std::abort();
    return 0;
}
