#include "cli/folderwatch.h"

#include "base/paths.h"
#include "cli/clireporter.h"
#include "cli/uploadrun.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

constexpr int kScanMs = 500;

const char* const kSuffixes[] = {"mp4", "mov", "flv", "avi", "mkv",  "webm", "3gp", "asf",  "dat",
                                 "f4v", "m4v", "mpe", "mpg", "mpeg", "mts",  "qt",  "rmvb", "swf",
                                 "ts",  "vob", "wmv", "mp3", "aac",  "wav",  "wma"};

qint64 NowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

FolderWatch::FolderWatch(const QString& dir, const QString& account, qint64 cateId, int settleSeconds,
                         UploadRun& run, CliReporter& reporter, QObject* parent)
    : QObject(parent), dir_(QFileInfo(dir).absoluteFilePath()), cateId_(cateId),
      settleMs_(settleSeconds * 1000), run_(run), reporter_(reporter)
{
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    if (!canonical.isEmpty())
        dir_ = canonical;
    const QByteArray key = QCryptographicHash::hash((account.toLower() + QLatin1Char('\n') + dir_).toUtf8(),
                                                    QCryptographicHash::Sha1)
                               .toHex();
    statePath_ = WorkDir(QStringLiteral("watch")) + QStringLiteral("/") + QString::fromLatin1(key) +
                 QStringLiteral(".json");
    connect(&timer_, &QTimer::timeout, this, &FolderWatch::Scan);
}

bool FolderWatch::IsMediaFile(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    for (const char* s : kSuffixes)
        if (suffix == QLatin1String(s))
            return true;
    return false;
}

bool FolderWatch::Start(QString* error)
{
    if (!QFileInfo(dir_).isDir()) {
        *error = tr("not a folder: %1").arg(dir_);
        return false;
    }
    if (!LoadState()) {
        *error = tr("cannot read the watch state %1").arg(statePath_);
        return false;
    }
    reporter_.Event(QStringLiteral("watching"), {{QStringLiteral("dir"), dir_}},
                    tr("Watching %1 (Ctrl+C to stop)").arg(dir_));
    Scan();
    timer_.start(kScanMs);
    return true;
}

void FolderWatch::Scan()
{
    const QFileInfoList entries = QDir(dir_).entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
    QSet<QString> present;
    const qint64 now = NowMs();
    for (const QFileInfo& info : entries) {
        if (!IsMediaFile(info.fileName()))
            continue;
        const QString path = info.absoluteFilePath();
        present.insert(path);
        Seen& seen = seen_[path];
        const QDateTime modified = info.lastModified();
        if (seen.size != info.size() || seen.modified != modified) {
            // New or still growing (or changed again): wait for it to settle.
            seen.size = info.size();
            seen.modified = modified;
            seen.stableSinceMs = now;
            seen.handled = false;
            continue;
        }
        if (!seen.handled && seen.size > 0 && now - seen.stableSinceMs >= settleMs_) {
            seen.handled = true;
            Consider(path);
        }
    }
    for (auto it = seen_.begin(); it != seen_.end();) {
        if (!present.contains(it.key()))
            it = seen_.erase(it);
        else
            ++it;
    }
}

void FolderWatch::Consider(const QString& path)
{
    const QString vid = UploadRun::FileVid(path);
    if (vid.isEmpty()) {
        reporter_.Event(
            QStringLiteral("failed"),
            {{QStringLiteral("file"), path}, {QStringLiteral("reason"), tr("cannot read the file")}},
            tr("Failed: %1: %2").arg(path, tr("cannot read the file")), true);
        return;
    }
    const auto known = queued_.constFind(path);
    if (known != queued_.constEnd()) {
        if (*known == vid)
            return; // uploaded (or queued) before
        if (!reportedChanged_.contains(path)) {
            reportedChanged_.insert(path);
            reporter_.Event(QStringLiteral("changed"),
                            {{QStringLiteral("file"), path},
                             {QStringLiteral("vid"), *known},
                             {QStringLiteral("newVid"), vid}},
                            tr("Changed after its upload, not uploaded again: %1 (upload it with "
                               "\"orvane-upload upload\" if wanted)")
                                .arg(path),
                            true);
        }
        return;
    }
    for (auto it = queued_.constBegin(); it != queued_.constEnd(); ++it) {
        if (it.value() == vid) {
            // The same content under a new name (renamed or copied with its time stamp).
            queued_.insert(path, vid);
            SaveState();
            reporter_.Event(QStringLiteral("skipped"),
                            {{QStringLiteral("file"), path}, {QStringLiteral("vid"), vid}},
                            tr("Already uploaded as %1: %2").arg(vid, path));
            return;
        }
    }
    const QString queuedVid = run_.Add(path, cateId_, QString(), QString());
    if (queuedVid.isEmpty())
        return;
    queued_.insert(path, queuedVid);
    SaveState();
}

bool FolderWatch::LoadState()
{
    QFile file(statePath_);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject files =
        QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("files")).toObject();
    for (auto it = files.constBegin(); it != files.constEnd(); ++it)
        queued_.insert(it.key(), it.value().toString());
    return true;
}

bool FolderWatch::SaveState()
{
    QJsonObject files;
    for (auto it = queued_.constBegin(); it != queued_.constEnd(); ++it)
        files.insert(it.key(), it.value());
    QSaveFile file(statePath_);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(QJsonObject{{QStringLiteral("dir"), dir_}, {QStringLiteral("files"), files}})
                   .toJson(QJsonDocument::Indented));
    return file.commit();
}
