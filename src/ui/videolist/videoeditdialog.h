#pragma once
// Edits a video's title, description and tags, and on its cover page picks
// one of the server's snapshots or an uploaded picture as the cover. All
// network work goes through the video list model; the dialog keeps the id of
// each request it started until the model answers.
// In upload mode it edits the texts of a file that is about to be uploaded
// and starts no request.

#include "api/apicollection.h"
#include "task/taskinfo.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QImage>
#include <QModelIndex>
#include <QPixmap>
#include <QUrl>
#include <QUuid>

#include <array>
#include <atomic>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class VideoTableModel;

class VideoEditDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMaxTitleLength = 200;
    static constexpr int kMaxDescLength = 1000;
    static constexpr int kMaxTagsLength = 200;
    static constexpr qint64 kMaxCoverBytes = 5 * 1024 * 1024;
    static constexpr int kMaxCoverWidth = 1920;
    static constexpr int kMaxCoverHeight = 1080;
    static constexpr int kSnapshotCount = 6;
    static constexpr int kSelectedSlot = kSnapshotCount; // the current cover

    // One picture of the cover page. The background fetch works on copies and
    // hands each finished picture back by SignalLabelUpdatePixmap.
    struct LabelInfo
    {
        QLabel* label = nullptr;
        QUrl url;
        QString file; // the cached file
        QImage image;
        QSize size; // device pixels the picture is scaled into
    };

    enum CoverCheck
    {
        CoverAccepted,
        CoverFileTooLarge,
        CoverResolutionTooLarge,
        CoverNotAnImage,
    };

    // Upload mode (SetUploadMode) or a dialog without a model.
    explicit VideoEditDialog(QWidget* parent = nullptr);
    // Library mode: the video of `row` (any cell of a row of `model`), the
    // pictures cached for the account `userId`.
    VideoEditDialog(VideoTableModel* model, const QString& userId, const QModelIndex& row,
                    QWidget* parent = nullptr);
    ~VideoEditDialog() override;

    // Upload mode: call before showing. Hides the facts a file does not have
    // yet (vid, duration, times) and the cover page.
    void SetUploadMode(const QString& title, const QString& tags, const QString& desc, qint64 fileSize);
    bool isUploadMode() const { return uploadMode_; }

    QString vid() const { return vid_; }
    QString title() const { return title_; }
    QString tags() const { return tags_; }
    QString description() const { return desc_; }

    // Size and resolution of a picture from its file size and header alone,
    // so that a small file claiming a huge canvas is never decoded.
    static CoverCheck CheckCoverFile(const QString& path);
    // The cache file of a picture URL: "thumbs/<userId>/<vid>/<file name>" in
    // the data folder; the name is reduced to a plain file name.
    static QString CacheFileOf(const QString& userId, const QString& vid, const QUrl& url);
    // Decodes a picture scaled to fit `size` (device pixels) after checking its
    // header; a null image when the file is not a picture or claims more than
    // twice the largest cover in either direction.
    static QImage LoadPicture(const QString& path, const QSize& size);

    // What follows the file choice of the upload button: the checks, then the
    // upload, which waits for an earlier one to end. False when refused.
    bool UploadCoverFile(const QString& path);
    void ShowPage(int page);

signals:
    void SignalLoadUrlDone();
    void SignalLabelUpdatePixmap(VideoEditDialog::LabelInfo* info);
    void SignalCoverClicked(QLabel* label);

public slots:
    // Fetches the cover set by the last upload into the cover labels.
    void DownloadUploadCover();
    void accept() override;
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void OnConfirm();
    void OnDescChanged();
    void UpdateCounters();
    void OnUploadCoverClicked();
    void OnCoverClicked(QLabel* label);
    void OnLabelUpdatePixmap(VideoEditDialog::LabelInfo* info);
    void OnFetchFinished();

private:
    struct FetchJob;

    void BuildUi();
    QWidget* BuildCoverPage(QWidget* parent);
    void ConnectModel();
    void SetVideo(const QModelIndex& row);
    bool Validate();
    bool CanClose();
    void ShowMessage(const QString& text);
    void SetButtonsEnabled(bool enabled);
    void LoadCoverPage();
    void ChooseCoverFile();
    void StartCoverUpload(const QString& path);
    void EndCoverUpload();
    void ShowCustomCover(const QString& path);
    void MarkSelected(int slot);
    void SetDefaultPicture(int slot);
    void FetchPictures(const QList<int>& which);
    void StartFetch();
    static void FetchWork(VideoEditDialog* dialog, FetchJob* job);

    void OnGetVideosInfoSucceed(const ApiCollection::VideoInfosResult& infos);
    void OnGetVideosInfoFailed(const QString& error);
    void OnUpdateVideoInfoSucceed(const QString& vid, const QString& title, const QString& tags,
                                  const QString& desc);
    void OnUpdateVideoInfoFailed(const QString& error);
    void OnChangeVideoCoverSucceed(const QString& vid, const QUrl& coverUrl, const QUrl& thumbsUrl);
    void OnChangeVideoCoverFailed(const QString& error);
    void OnUploadVideoCoverSucceed(const QString& vid, const QUrl& coverUrl);
    void OnUploadVideoCoverFailed(const QString& error);
    void OnTaskEndStatus(const QUuid& uuid, TaskEndStatus status);

    VideoTableModel* model_ = nullptr;
    QString userId_;
    bool uploadMode_ = false;
    QString vid_;
    QString title_;
    QString tags_;
    QString desc_;
    QUrl coverUrl_;

    // Requests of this dialog that are still running; null when idle.
    QUuid updateTaskId_;
    QUuid changeTaskId_;
    QUuid uploadTaskId_;
    QUuid loadTaskId_;
    // A picture chosen while an earlier upload still ran; it starts when that
    // upload has ended either way.
    QString pendingCoverPath_;
    bool customCoverUploaded_ = false;
    QPixmap lastCustomCover_; // shown again when an upload fails
    int selectedSlot_ = -1;

    std::array<LabelInfo, kSnapshotCount + 1> pics_;
    std::array<QLabel*, kSnapshotCount> selectedMarks_{};
    QList<int> pendingFetch_;
    std::shared_ptr<FetchJob> fetchJob_;
    QFutureWatcher<void> fetchWatcher_;

    QWidget* titleWidget_ = nullptr;
    QPushButton* basicInfoButton_ = nullptr;
    QPushButton* coverInfoButton_ = nullptr;
    QStackedWidget* stackedWidget_ = nullptr;
    QLineEdit* titleLineEdit_ = nullptr;
    QLabel* titleCountLabel_ = nullptr;
    QPlainTextEdit* descPlainTextEdit_ = nullptr;
    QLabel* descCountLabel_ = nullptr;
    QLineEdit* tagsLineEdit_ = nullptr;
    QLabel* tagsCountLabel_ = nullptr;
    QLabel* vidLabel_ = nullptr;
    QLabel* durationLabel_ = nullptr;
    QLabel* fileSizeLabel_ = nullptr;
    QLabel* uploadTimeLabel_ = nullptr;
    QLabel* modifyTimeLabel_ = nullptr;
    QList<QWidget*> libraryOnlyRows_;
    QLabel* customPicLabel_ = nullptr;
    QLabel* uploadingOverlay_ = nullptr;
    QPushButton* uploadCoverButton_ = nullptr;
    QPushButton* confirmButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    bool cutting_ = false;
};

Q_DECLARE_METATYPE(VideoEditDialog::LabelInfo*)
