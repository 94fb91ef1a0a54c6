#pragma once
// watch DIR: uploads every new video or audio file that appears in the folder
// once its size and time stamp have stopped changing for a while. Each file
// is uploaded once, also across restarts: the files queued from the folder
// are remembered with the library's vid (its identity of the content), so a
// renamed file is not sent again and a file that changed after its upload is
// reported instead of being uploaded again silently.

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

class CliReporter;
class UploadRun;

class FolderWatch : public QObject
{
    Q_OBJECT
public:
    FolderWatch(const QString& dir, const QString& account, qint64 cateId, int settleSeconds, UploadRun& run,
                CliReporter& reporter, QObject* parent = nullptr);

    bool Start(QString* error);
    // The upload dialog's suffixes.
    static bool IsMediaFile(const QString& fileName);

private slots:
    void Scan();

private:
    struct Seen
    {
        qint64 size = -1;
        QDateTime modified;
        qint64 stableSinceMs = 0;
        bool handled = false;
    };

    void Consider(const QString& path);
    bool LoadState();
    bool SaveState();

    QString dir_;
    QString statePath_;
    qint64 cateId_;
    int settleMs_;
    UploadRun& run_;
    CliReporter& reporter_;
    QTimer timer_;
    QHash<QString, Seen> seen_;      // this run: files in the folder
    QHash<QString, QString> queued_; // stored: path -> vid of every file queued from the folder
    QSet<QString> reportedChanged_;  // this run: changed files already reported
};
