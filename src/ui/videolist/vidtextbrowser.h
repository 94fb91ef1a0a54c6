#pragma once
// The vid entry box of the batch search: each accepted vid becomes a tag with
// a delete link; typed, pasted and dropped text and dropped files go through
// the same checks (form, cap, duplicates), and each refusal is a tip.

#include <QFutureWatcher>
#include <QStringList>
#include <QTextBrowser>

class VidTextBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    static constexpr int kMaxVids = 100;

    // What reading vid files found: the vids in order (not yet checked for
    // duplicates) and the number of parts that were no vid.
    struct FileScan
    {
        QStringList vids;
        int total = 0; // vids found, kept or not
        int errors = 0;
    };

    explicit VidTextBrowser(QWidget* parent = nullptr);

    static bool IsVid(const QString& text);
    // Reads the files line by line; keeps at most `keep` vids, since no more
    // can be added, but counts every one.
    static FileScan ScanFiles(const QStringList& paths, int keep);

    const QStringList& vids() const { return vids_; }
    // One vid through the checks; false with the tip shown when refused.
    bool AddVid(const QString& vid);
    void RemoveVid(const QString& vid);
    // Reads the files in the background and shows one tip with the outcome.
    void ImportFiles(const QStringList& paths);
    bool importing() const { return watcher_.isRunning(); }
    QString lastTip() const { return lastTip_; }

signals:
    void SignalCount(int count);
    void SignalImportDone();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    enum class Added
    {
        Yes,
        Duplicate,
        Full,
        Invalid,
    };
    Added TryAdd(const QString& vid);
    void ShowTip(const QString& text);
    void Render(const QString& typed = QString());
    void CommitTyped();
    void SyncWithDocument();
    void OnImportDone();

    QStringList vids_;
    bool rendering_ = false;
    QString lastTip_;
    QFutureWatcher<FileScan> watcher_;
};
