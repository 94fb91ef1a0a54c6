#pragma once
// Edits a video's title, description and tags. In upload mode it edits the
// texts of a file that is about to be uploaded and starts no request.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class VideoTableModel;
struct VideoListRecord;

class VideoEditDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMaxTitleLength = 200;
    static constexpr int kMaxDescLength = 1000;
    static constexpr int kMaxTagsLength = 200;

    explicit VideoEditDialog(QWidget* parent = nullptr);
    ~VideoEditDialog() override;

    // Upload mode: call before showing. Hides the facts a file does not have
    // yet (vid, duration, times) and the cover page.
    void SetUploadMode(const QString& title, const QString& tags, const QString& desc, qint64 fileSize);
    bool isUploadMode() const { return uploadMode_; }
    // Library mode: edits the video of `record` through `model`. Call before showing.
    void SetLibraryMode(VideoTableModel* model, const VideoListRecord& record);
    QString vid() const { return vid_; }

    QString title() const { return title_; }
    QString tags() const { return tags_; }
    QString description() const { return desc_; }

public slots:
    void accept() override;
    void reject() override;

private slots:
    void OnConfirm();
    void OnDescChanged();
    void UpdateCounters();

private:
    void BuildUi();
    bool Validate();
    void ShowMessage(const QString& text);
    void SetButtonsEnabled(bool enabled);

    bool uploadMode_ = false;
    VideoTableModel* videoModel_ = nullptr;
    QString vid_;
    QString title_;
    QString tags_;
    QString desc_;

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
    QPushButton* confirmButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    bool cutting_ = false;
};
