#include "cli/uploadrun.h"

#include "base/config.h"
#include "cli/clireporter.h"
#include "storage/dbmanager.h"
#include "upload/sdkmanager.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonObject>

#include <algorithm>

namespace {

constexpr int kTickMs = 100;
constexpr int kTicksPerSecond = 1000 / kTickMs;
// Like the transfer list: the stored progress is at most about 3 s old.
constexpr int kSaveEveryTicks = 3 * kTicksPerSecond;
constexpr int kNameWidth = 28;

QString Elide(const QString& name, int width)
{
    if (name.size() <= width)
        return name.leftJustified(width);
    return name.left(width - 3) + QStringLiteral("...");
}

int Percent(quint64 done, quint64 total)
{
    return total == 0 ? 0 : static_cast<int>(std::min<quint64>(100, done * 100 / total));
}

QString Remaining(quint64 total, quint64 done, quint64 speed)
{
    const qint64 seconds = RemainingSeconds(total, done, speed);
    return seconds < 0 ? QStringLiteral("--:--:--") : FormatDuration(static_cast<quint64>(seconds));
}

} // namespace

UploadRun::UploadRun(CliReporter& reporter, QObject* parent) : QObject(parent), reporter_(reporter)
{
    SDKManager* sdk = SDKManager::instance();
    connect(sdk, &SDKManager::SignalAppendUpload, this, &UploadRun::OnAppend);
    connect(sdk, &SDKManager::SignalExistUpload, this, [this](const QString& vid) { lastAppended_ = vid; });
    connect(&timer_, &QTimer::timeout, this, &UploadRun::OnTick);
    timer_.start(kTickMs);
    clock_.start();
}

UploadRun::~UploadRun() = default;

void UploadRun::Configure(int parallel, int limitKBps)
{
    SDKManager* sdk = SDKManager::instance();
    if (parallel > 0)
        sdk->setMaxConcurrent(parallel);
    if (limitKBps >= 0)
        sdk->SetTrafficLimit(limitKBps);
}

QString UploadRun::Add(const QString& file, qint64 cateId, const QString& title, const QString& tags)
{
    const QFileInfo info(file);
    const QString path = info.absoluteFilePath();
    auto refuse = [&](const QString& reason) {
        failures_.append({QString(), path, reason});
        reporter_.Event(QStringLiteral("failed"),
                        {{QStringLiteral("file"), path}, {QStringLiteral("reason"), reason}},
                        tr("Failed: %1: %2").arg(path, reason), true);
        return QString();
    };
    if (!info.isFile())
        return refuse(tr("no such file"));
    if (!info.isReadable())
        return refuse(tr("the file cannot be read"));
    if (info.size() == 0)
        return refuse(tr("the file is empty"));
    lastAppended_.clear();
    if (!SDKManager::instance()->AddUpload(cateId, path, title, QString(), tags, QString(), 0, 0))
        return refuse(tr("the upload library refused the file, or the same file is already queued"));
    const QString vid = lastAppended_;
    if (vid.isEmpty())
        return refuse(tr("the file was not queued"));
    // A file already queued under the same category: follow that upload.
    if (!rows_.contains(vid) || !pending_.contains(vid))
        Follow(SDKManager::instance()->task(vid));
    return vid;
}

void UploadRun::ApplySettings(const Config& config)
{
    SDKManager::instance()->ApplySettings(config);
}

void UploadRun::Release()
{
    SDKManager::Destroy();
}

int UploadRun::Restore(bool start, bool follow)
{
    SDKManager* sdk = SDKManager::instance();
    sdk->setAutoStart(start);
    following_ = follow;
    sdk->RestoreUploads();
    following_ = true;
    return rows_.size();
}

bool UploadRun::DeleteQueued(const QString& vid)
{
    SDKManager* sdk = SDKManager::instance();
    if (!sdk->contains(vid))
        return false;
    bool removed = false;
    QEventLoop loop;
    connect(sdk, &SDKManager::SignalRemoveUpload, &loop, [&](const QString& gone) {
        if (gone == vid) {
            removed = true;
            loop.quit();
        }
    });
    // A failed delete leaves the task; its row error ends the wait as well.
    connect(sdk->task(vid).data(), &SDKUploadTask::SignalDeleteResult, &loop, [&](bool ok, const QString&) {
        if (!ok)
            loop.quit();
    });
    sdk->DeleteTask(vid);
    if (!removed && !stopped_) {
        deleteWait_ = &loop;
        loop.exec();
        deleteWait_ = nullptr;
    }
    return removed;
}

void UploadRun::Schedule()
{
    SDKManager::instance()->Schedule();
}

QString UploadRun::FileVid(const QString& file)
{
    DBManager::Upload record;
    record.fileName = file;
    bool exists = false;
    SDKUploadTask::FillDefaults(record, &exists);
    if (!exists)
        return QString();
    const SDKUploadTask::Prepared prepared = SDKUploadTask::Prepare(record);
    return prepared.rc == 0 ? prepared.sdkVid : QString();
}

void UploadRun::OnAppend(SharedUploadTaskPtr task)
{
    if (task)
        lastAppended_ = task->record().vid;
    if (following_)
        Follow(task);
}

void UploadRun::Follow(const SharedUploadTaskPtr& task)
{
    if (!task || stopped_)
        return;
    const QString vid = task->record().vid;
    if (pending_.contains(vid))
        return;
    Row row;
    row.file = task->record().fileName;
    row.name = QFileInfo(row.file).fileName();
    row.total = task->totalBytes();
    row.uploaded = task->uploadBytes();
    rows_.insert(vid, row);
    pending_.insert(vid, true);
    reporter_.Event(QStringLiteral("queued"),
                    {{QStringLiteral("vid"), vid},
                     {QStringLiteral("file"), row.file},
                     {QStringLiteral("size"), static_cast<double>(row.total)}},
                    tr("Queued: %1 (%2, %3)").arg(row.name, vid, FormatSize(static_cast<qint64>(row.total))));

    SDKUploadTask* raw = task.data();
    connect(raw, &SDKUploadTask::SignalProgress, this,
            [this, vid](int increment, qlonglong uploaded, qlonglong total) {
                auto it = rows_.find(vid);
                if (it == rows_.end())
                    return;
                it->accumulated += static_cast<quint64>(qMax(0, increment));
                it->uploaded = static_cast<quint64>(qMax<qlonglong>(0, uploaded));
                it->total = static_cast<quint64>(qMax<qlonglong>(0, total));
            });
    connect(raw, &SDKUploadTask::SignalResult, this, [this, vid](bool success, const QString& message) {
        // A pause ends a run with success and no message; only failures end here.
        if (!success && !stopped_)
            End(vid, false, message);
    });
    connect(raw, &SDKUploadTask::SignalRelease, this, [this, vid, raw](bool uploaded, const QString&) {
        End(vid, uploaded, uploaded ? raw->record().resultText : tr("deleted"));
    });
    if (task->status() == UploadStatus::FileError)
        End(vid, false, task->message());
}

void UploadRun::End(const QString& vid, bool success, const QString& reason)
{
    if (!pending_.remove(vid))
        return;
    const Row row = rows_.value(vid);
    if (success) {
        ++completed_;
        doneBytes_ += row.total;
        reporter_.Event(QStringLiteral("completed"),
                        {{QStringLiteral("vid"), vid},
                         {QStringLiteral("file"), row.file},
                         {QStringLiteral("size"), static_cast<double>(row.total)},
                         {QStringLiteral("result"), reason}},
                        tr("Uploaded: %1 (%2)").arg(row.name, vid));
        emit SignalUploaded(vid, row.file);
    } else {
        failures_.append({vid, row.file, reason});
        reporter_.Event(QStringLiteral("failed"),
                        {{QStringLiteral("vid"), vid},
                         {QStringLiteral("file"), row.file},
                         {QStringLiteral("reason"), reason}},
                        tr("Failed: %1: %2").arg(row.name, reason), true);
    }
    rows_.remove(vid);
    if (pending_.isEmpty()) {
        Draw(true);
        // Outside the task's own signal: the receiver may shut the queue down.
        QMetaObject::invokeMethod(this, &UploadRun::SignalFinished, Qt::QueuedConnection);
    }
}

void UploadRun::OnTick()
{
    if (stopped_)
        return;
    ++ticks_;
    const bool second = ticks_ % kTicksPerSecond == 0;
    if (second) {
        SDKManager* sdk = SDKManager::instance();
        for (auto it = rows_.begin(); it != rows_.end(); ++it) {
            it->speed.Tick(it->accumulated);
            const SharedUploadTaskPtr task = sdk->task(it.key());
            if (!reporter_.json() || !task || task->status() != UploadStatus::Uploading)
                continue;
            reporter_.Event(QStringLiteral("progress"),
                            {{QStringLiteral("vid"), it.key()},
                             {QStringLiteral("file"), it->file},
                             {QStringLiteral("uploaded"), static_cast<double>(it->uploaded)},
                             {QStringLiteral("total"), static_cast<double>(it->total)},
                             {QStringLiteral("percent"), Percent(it->uploaded, it->total)},
                             {QStringLiteral("speedKBs"), static_cast<double>(it->speed.speed())}},
                            QString());
        }
    }
    if (ticks_ % kSaveEveryTicks == 0)
        SaveProgress();
    Draw(false);
}

QString UploadRun::RowLine(const QString&, const Row& row, UploadStatus status) const
{
    QString state;
    if (status == UploadStatus::Uploading)
        state = SpeedText(row.speed.speed()) + QLatin1Char(' ') +
                Remaining(row.total, row.uploaded, row.speed.speed());
    else if (status == UploadStatus::Waiting)
        state = tr("waiting");
    else if (status == UploadStatus::Paused)
        state = tr("paused");
    return QStringLiteral("%1 %2%  %3 / %4  %5")
        .arg(Elide(row.name, kNameWidth))
        .arg(Percent(row.uploaded, row.total), 3)
        .arg(FormatSize(static_cast<qint64>(row.uploaded)), 10)
        .arg(FormatSize(static_cast<qint64>(row.total)), -10)
        .arg(state);
}

void UploadRun::Draw(bool force)
{
    if (reporter_.json())
        return;
    SDKManager* sdk = SDKManager::instance();
    QStringList keys = rows_.keys();
    std::sort(keys.begin(), keys.end());
    QStringList lines;
    quint64 total = doneBytes_;
    quint64 done = doneBytes_;
    quint64 speed = 0;
    int waiting = 0;
    int running = 0;
    for (const QString& vid : qAsConst(keys)) {
        const Row& row = rows_[vid];
        const SharedUploadTaskPtr task = sdk->task(vid);
        const UploadStatus status = task ? task->status() : UploadStatus::Stopped;
        total += row.total;
        done += std::min(row.uploaded, row.total);
        if (status == UploadStatus::Uploading) {
            ++running;
            speed += row.speed.speed();
            lines << RowLine(vid, row, status);
        } else if (status == UploadStatus::Waiting) {
            ++waiting;
        }
    }
    lines << tr("Total: %1 uploading, %2 waiting, %3 done, %4 failed  %5 / %6 (%7%)  %8")
                 .arg(running)
                 .arg(waiting)
                 .arg(completed_)
                 .arg(failures_.size())
                 .arg(FormatSize(static_cast<qint64>(done)), FormatSize(static_cast<qint64>(total)))
                 .arg(Percent(done, total))
                 .arg(running > 0 ? TotalSpeedText(speed, running) : QString());
    reporter_.Progress(lines, force);
}

void UploadRun::SaveProgress()
{
    DBManager* db = DBManager::instance();
    for (const SharedUploadTaskPtr& task : SDKManager::instance()->tasks()) {
        if (task->created() && !task->deleting())
            db->InsertUpload(task->record());
    }
}

void UploadRun::PauseAndStop()
{
    if (stopped_)
        return;
    stopped_ = true;
    timer_.stop();
    if (deleteWait_)
        deleteWait_->quit();
    SDKManager* sdk = SDKManager::instance();
    sdk->PauseAll();
    SaveProgress();
    // Destroying the handles waits for the library's threads; its resume
    // state is on disk by then.
    sdk->Shutdown();
    reporter_.KeepProgress();
}
