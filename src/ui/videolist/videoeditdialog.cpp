#include "ui/videolist/videoeditdialog.h"

#include "model/videotablemodel.h"
#include "model/videotablemodelworker.h"
#include "ui/common/msgbox.h"
#include "ui/common/toast.h"
#include "ui/transfer/transfercommon.h"
#include "upload/transferstats.h"

#include <QButtonGroup>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyle>
#include <QTextCursor>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace {
void SetErrorStatus(QWidget* widget, bool error)
{
    widget->setProperty("status", error ? QStringLiteral("error") : QString());
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

const QSize kSnapshotSize(152, 86);
const QSize kCoverSize(208, 117);

// The folder the cover file dialog opens in; remembered for the whole run.
QString& LastCoverFolder()
{
    static QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return folder;
}
} // namespace

// One background fetch of cover pictures: copies of the labels' data, so
// that the interface may go on changing its own while the fetch runs.
struct VideoEditDialog::FetchJob
{
    QUuid uuid = QUuid::createUuid();
    QString userId;
    QString vid;
    std::vector<LabelInfo> items;
    ApiCollection::AbortFlag abort{false};
};

VideoEditDialog::VideoEditDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VideoEditDialog"));
    setWindowTitle(tr("VideoEditDialog.Title"));
    BuildUi();
    TransferUi::ApplyStyleSheet(this, QStringLiteral("VideoEditDialog.qss"));
}

VideoEditDialog::VideoEditDialog(VideoTableModel* model, const QString& userId, const QModelIndex& row,
                                 QWidget* parent)
    : VideoEditDialog(parent)
{
    qRegisterMetaType<VideoEditDialog::LabelInfo*>("VideoEditDialog::LabelInfo*");
    model_ = model;
    userId_ = userId;
    SetVideo(row);
    ConnectModel();
}

VideoEditDialog::~VideoEditDialog()
{
    if (fetchJob_ && fetchWatcher_.isRunning()) {
        // The job writes into files and emits on this object; it must be over
        // before the dialog is gone.
        qInfo() << "multi download running, stop running task";
        fetchJob_->abort = true;
        fetchWatcher_.waitForFinished();
    }
}

void VideoEditDialog::BuildUi()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    titleWidget_ = new QWidget(this);
    titleWidget_->setObjectName(QStringLiteral("titleWidget"));
    auto* titleRow = new QHBoxLayout(titleWidget_);
    titleRow->setContentsMargins(20, 0, 20, 0);
    basicInfoButton_ = new QPushButton(tr("VideoEditDialog.BasicInfo"), titleWidget_);
    basicInfoButton_->setObjectName(QStringLiteral("basicInfoButton"));
    coverInfoButton_ = new QPushButton(tr("VideoEditDialog.CoverInfo"), titleWidget_);
    coverInfoButton_->setObjectName(QStringLiteral("coverInfoButton"));
    auto* pages = new QButtonGroup(this);
    for (QPushButton* button : {basicInfoButton_, coverInfoButton_}) {
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::NoFocus);
        pages->addButton(button);
        titleRow->addWidget(button);
    }
    basicInfoButton_->setChecked(true);
    titleRow->addStretch();
    root->addWidget(titleWidget_);

    stackedWidget_ = new QStackedWidget(this);
    stackedWidget_->setObjectName(QStringLiteral("stackedWidget"));
    auto* basicPage = new QWidget(stackedWidget_);
    basicPage->setObjectName(QStringLiteral("basicPage"));
    stackedWidget_->addWidget(basicPage);
    stackedWidget_->addWidget(BuildCoverPage(stackedWidget_));
    root->addWidget(stackedWidget_, 1);
    connect(basicInfoButton_, &QPushButton::clicked, this, [this] { ShowPage(0); });
    connect(coverInfoButton_, &QPushButton::clicked, this, [this] { ShowPage(1); });

    auto* grid = new QGridLayout(basicPage);
    grid->setContentsMargins(24, 20, 24, 12);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(12);
    int row = 0;
    auto caption = [basicPage](const QString& text) {
        auto* label = new QLabel(text, basicPage);
        label->setProperty("caption", true);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        return label;
    };
    auto counter = [basicPage](const char* name) {
        auto* label = new QLabel(basicPage);
        label->setObjectName(QLatin1String(name));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return label;
    };

    titleLineEdit_ = new QLineEdit(basicPage);
    titleLineEdit_->setObjectName(QStringLiteral("titleLineEdit"));
    titleLineEdit_->setMaxLength(kMaxTitleLength);
    titleLineEdit_->setPlaceholderText(tr("VideoEditDialog.VideoTiltePlaceholder"));
    titleCountLabel_ = counter("titleCountLabel");
    grid->addWidget(caption(tr("VideoEditDialog.Title:")), row, 0);
    grid->addWidget(titleLineEdit_, row, 1);
    grid->addWidget(titleCountLabel_, row++, 2);

    descPlainTextEdit_ = new QPlainTextEdit(basicPage);
    descPlainTextEdit_->setObjectName(QStringLiteral("descPlainTextEdit"));
    descPlainTextEdit_->setPlaceholderText(tr("VideoEditDialog.VideoDescPlaceholder"));
    descPlainTextEdit_->setTabChangesFocus(true);
    descCountLabel_ = counter("descCountLabel");
    descCountLabel_->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    grid->addWidget(caption(tr("VideoEditDialog.Desc:")), row, 0);
    grid->addWidget(descPlainTextEdit_, row, 1);
    grid->addWidget(descCountLabel_, row++, 2);

    tagsLineEdit_ = new QLineEdit(basicPage);
    tagsLineEdit_->setObjectName(QStringLiteral("tagsLineEdit"));
    tagsLineEdit_->setMaxLength(kMaxTagsLength);
    tagsLineEdit_->setPlaceholderText(tr("VideoEditDialog.VideoTagsPlaceholder"));
    tagsCountLabel_ = counter("tagsCountLabel");
    grid->addWidget(caption(tr("VideoEditDialog.Tags:")), row, 0);
    grid->addWidget(tagsLineEdit_, row, 1);
    grid->addWidget(tagsCountLabel_, row++, 2);

    auto fact = [&](const QString& text, QLabel*& value, const char* name, bool libraryOnly) {
        QLabel* label = caption(text);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value = new QLabel(basicPage);
        value->setObjectName(QLatin1String(name));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(label, row, 0);
        grid->addWidget(value, row++, 1, 1, 2);
        if (libraryOnly)
            libraryOnlyRows_ << label << value;
    };
    fact(tr("VideoEditDialog.Vid:"), vidLabel_, "vidLabel", true);
    fact(tr("VideoEditDialog.Duration:"), durationLabel_, "durationLabel", true);
    fact(tr("VideoEditDialog.FileSize:"), fileSizeLabel_, "fileSizeLabel", false);
    fact(tr("VideoEditDialog.UploadTime:"), uploadTimeLabel_, "uploadTimeLabel", true);
    fact(tr("VideoEditDialog.ModifyTime:"), modifyTimeLabel_, "modifyTimeLabel", true);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);

    auto* buttons = new QWidget(this);
    buttons->setObjectName(QStringLiteral("buttonWidget"));
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(24, 8, 24, 20);
    buttonRow->addStretch();
    cancelButton_ = new QPushButton(tr("VideoEditDialog.Cancel"), buttons);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    confirmButton_ = new QPushButton(tr("VideoEditDialog.Confirm"), buttons);
    confirmButton_->setObjectName(QStringLiteral("confirmButton"));
    cancelButton_->setAutoDefault(false);
    confirmButton_->setAutoDefault(false);
    buttonRow->addWidget(cancelButton_);
    buttonRow->addWidget(confirmButton_);
    root->addWidget(buttons);

    connect(confirmButton_, &QPushButton::clicked, this, &VideoEditDialog::OnConfirm);
    connect(cancelButton_, &QPushButton::clicked, this, &VideoEditDialog::reject);
    connect(titleLineEdit_, &QLineEdit::textChanged, this, &VideoEditDialog::UpdateCounters);
    connect(tagsLineEdit_, &QLineEdit::textChanged, this, &VideoEditDialog::UpdateCounters);
    connect(descPlainTextEdit_, &QPlainTextEdit::textChanged, this, &VideoEditDialog::OnDescChanged);

    UpdateCounters();
    resize(600, 560);
}

QWidget* VideoEditDialog::BuildCoverPage(QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setObjectName(QStringLiteral("coverPage"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(24, 16, 24, 8);
    column->setSpacing(8);
    auto caption = [page](const QString& text) {
        auto* label = new QLabel(text, page);
        label->setProperty("caption", true);
        return label;
    };
    auto picture = [this](QWidget* owner, const QString& name, const QSize& size) {
        auto* label = new QLabel(owner);
        label->setObjectName(name);
        label->setFixedSize(size);
        label->setAlignment(Qt::AlignCenter);
        label->setProperty("valid", false);
        return label;
    };

    column->addWidget(caption(tr("VideoEditDialog.SelectCover")));
    auto* grid = new QGridLayout();
    grid->setSpacing(10);
    const QIcon selectedIcon(QStringLiteral(":/image/common/icon_selected.svg"));
    for (int i = 0; i < kSnapshotCount; ++i) {
        QLabel* label = picture(page, QStringLiteral("pic%1").arg(i + 1), kSnapshotSize);
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
        auto* mark = new QLabel(label);
        mark->setObjectName(QStringLiteral("selectedMark"));
        mark->setPixmap(selectedIcon.pixmap(QSize(22, 22)));
        mark->setGeometry(kSnapshotSize.width() - 26, 4, 22, 22);
        mark->hide();
        selectedMarks_[size_t(i)] = mark;
        pics_[size_t(i)].label = label;
        grid->addWidget(label, i / 3, i % 3);
    }
    column->addLayout(grid);
    column->addSpacing(6);

    auto* lower = new QGridLayout();
    lower->setHorizontalSpacing(24);
    lower->setVerticalSpacing(8);
    lower->addWidget(caption(tr("VideoEditDialog.SelectedCover")), 0, 0);
    lower->addWidget(caption(tr("VideoEditDialog.CustomCover:")), 0, 1, 1, 2);
    pics_[kSelectedSlot].label = picture(page, QStringLiteral("selectedPic"), kCoverSize);
    lower->addWidget(pics_[kSelectedSlot].label, 1, 0, Qt::AlignLeft | Qt::AlignTop);
    customPicLabel_ = picture(page, QStringLiteral("customPic"), kCoverSize);
    lower->addWidget(customPicLabel_, 1, 1, Qt::AlignLeft | Qt::AlignTop);
    uploadingOverlay_ = new QLabel(tr("VideoEditDialog.Uploading..."), customPicLabel_);
    uploadingOverlay_->setObjectName(QStringLiteral("uploadingOverlay"));
    uploadingOverlay_->setAlignment(Qt::AlignCenter);
    uploadingOverlay_->setGeometry(QRect(QPoint(0, 0), kCoverSize));
    uploadingOverlay_->hide();

    auto* side = new QVBoxLayout();
    uploadCoverButton_ = new QPushButton(tr("VideoEditDialog.UploadCover"), page);
    uploadCoverButton_->setObjectName(QStringLiteral("uploadCoverButton"));
    uploadCoverButton_->setAutoDefault(false);
    auto* notice = new QLabel(tr("VideoEditDialog.Notice"), page);
    notice->setObjectName(QStringLiteral("noticeLabel"));
    notice->setWordWrap(true);
    side->addWidget(uploadCoverButton_, 0, Qt::AlignLeft);
    side->addWidget(notice);
    side->addStretch();
    lower->addLayout(side, 1, 2);
    lower->setColumnStretch(2, 1);
    column->addLayout(lower);
    column->addStretch();

    for (int slot = 0; slot <= kSelectedSlot; ++slot)
        SetDefaultPicture(slot);
    connect(uploadCoverButton_, &QPushButton::clicked, this, &VideoEditDialog::OnUploadCoverClicked);
    return page;
}

void VideoEditDialog::SetVideo(const QModelIndex& row)
{
    const QModelIndex cell = row.siblingAtColumn(0);
    vid_ = cell.data(VideoTableModel::DataRole::Vid).toString();
    title_ = cell.data(VideoTableModel::DataRole::Title).toString();
    tags_ = cell.data(VideoTableModel::DataRole::Tags).toString();
    desc_ = cell.data(VideoTableModel::DataRole::Description).toString();
    coverUrl_ = cell.data(VideoTableModel::DataRole::CoverURL).toUrl();
    titleLineEdit_->setText(title_);
    tagsLineEdit_->setText(tags_);
    descPlainTextEdit_->setPlainText(desc_);
    vidLabel_->setText(vid_);
    durationLabel_->setText(
        FormatDuration(quint64(qMax(0.0, cell.data(VideoTableModel::DataRole::Duration).toDouble()))));
    fileSizeLabel_->setText(
        FormatSize(qint64(cell.data(VideoTableModel::DataRole::FileSize).toULongLong()), 4));
    uploadTimeLabel_->setText(cell.data(VideoTableModel::DataRole::CreationTime).toString());
    modifyTimeLabel_->setText(cell.data(VideoTableModel::DataRole::UpdateTime).toString());
    UpdateCounters();
}

void VideoEditDialog::ConnectModel()
{
    if (!model_)
        return;
    connect(model_, &VideoTableModel::SignalGetVideosInfoSucceed, this,
            &VideoEditDialog::OnGetVideosInfoSucceed);
    connect(model_, &VideoTableModel::SignalGetVideosInfoFailed, this,
            &VideoEditDialog::OnGetVideosInfoFailed);
    connect(model_, &VideoTableModel::SignalUpdateVideoInfoSucceed, this,
            &VideoEditDialog::OnUpdateVideoInfoSucceed);
    connect(model_, &VideoTableModel::SignalUpdateVideoInfoFailed, this,
            &VideoEditDialog::OnUpdateVideoInfoFailed);
    connect(model_, &VideoTableModel::SignalChangeVideoCoverSucceed, this,
            &VideoEditDialog::OnChangeVideoCoverSucceed);
    connect(model_, &VideoTableModel::SignalChangeVideoCoverFailed, this,
            &VideoEditDialog::OnChangeVideoCoverFailed);
    connect(model_, &VideoTableModel::SignalUploadVideoCoverSucceed, this,
            [this](const QString& vid, const QFileInfo&, const QUrl& coverUrl, const QUrl&) {
                OnUploadVideoCoverSucceed(vid, coverUrl);
            });
    connect(model_, &VideoTableModel::SignalUploadVideoCoverFailed, this,
            &VideoEditDialog::OnUploadVideoCoverFailed);
    connect(model_, &VideoTableModel::SignalTaskEndStatus, this, &VideoEditDialog::OnTaskEndStatus);
    connect(this, &VideoEditDialog::SignalLoadUrlDone, this, [this] {
        QList<int> all;
        for (int slot = 0; slot <= kSelectedSlot; ++slot)
            all << slot;
        FetchPictures(all);
    });
    connect(this, &VideoEditDialog::SignalCoverClicked, this, &VideoEditDialog::OnCoverClicked);
    connect(this, &VideoEditDialog::SignalLabelUpdatePixmap, this, &VideoEditDialog::OnLabelUpdatePixmap,
            Qt::QueuedConnection);
    connect(&fetchWatcher_, &QFutureWatcherBase::finished, this, &VideoEditDialog::OnFetchFinished);
}

void VideoEditDialog::ShowPage(int page)
{
    (page == 0 ? basicInfoButton_ : coverInfoButton_)->setChecked(true);
    stackedWidget_->setCurrentIndex(page);
    if (page == 1)
        LoadCoverPage();
}

void VideoEditDialog::SetUploadMode(const QString& title, const QString& tags, const QString& desc,
                                    qint64 fileSize)
{
    uploadMode_ = true;
    title_ = title;
    tags_ = tags;
    desc_ = desc;
    for (QWidget* widget : qAsConst(libraryOnlyRows_))
        widget->hide();
    coverInfoButton_->hide();
    ShowPage(0);
    titleLineEdit_->setText(title);
    tagsLineEdit_->setText(tags);
    descPlainTextEdit_->setPlainText(desc);
    fileSizeLabel_->setText(FormatSize(fileSize, 4));
    UpdateCounters();
}

void VideoEditDialog::UpdateCounters()
{
    const QString form = QStringLiteral("%1/%2");
    titleCountLabel_->setText(form.arg(titleLineEdit_->text().size()).arg(kMaxTitleLength));
    tagsCountLabel_->setText(form.arg(tagsLineEdit_->text().size()).arg(kMaxTagsLength));
    descCountLabel_->setText(form.arg(descPlainTextEdit_->toPlainText().size()).arg(kMaxDescLength));
}

void VideoEditDialog::OnDescChanged()
{
    if (cutting_)
        return;
    const QString text = descPlainTextEdit_->toPlainText();
    if (text.size() > kMaxDescLength) {
        // A paste may overshoot the limit; keep the first part and go on typing at its end.
        cutting_ = true;
        descPlainTextEdit_->setPlainText(text.left(kMaxDescLength));
        descPlainTextEdit_->moveCursor(QTextCursor::End);
        cutting_ = false;
    }
    UpdateCounters();
}

bool VideoEditDialog::Validate()
{
    const bool titleOk = TransferUi::IsBmpText(titleLineEdit_->text());
    const bool tagsOk = TransferUi::IsBmpText(tagsLineEdit_->text());
    const bool descOk = TransferUi::IsBmpText(descPlainTextEdit_->toPlainText());
    SetErrorStatus(titleLineEdit_, !titleOk);
    SetErrorStatus(tagsLineEdit_, !tagsOk);
    SetErrorStatus(descPlainTextEdit_, !descOk);
    if (titleOk && tagsOk && descOk)
        return true;
    ShowMessage(tr("VideoEditDialog.InvalidInput"));
    return false;
}

void VideoEditDialog::ShowMessage(const QString& text)
{
    ShowToastInParent(this, text, 1, Qt::AlignTop | Qt::AlignVCenter, true);
}

void VideoEditDialog::SetButtonsEnabled(bool enabled)
{
    confirmButton_->setEnabled(enabled);
    cancelButton_->setEnabled(enabled);
}

void VideoEditDialog::OnConfirm()
{
    SetButtonsEnabled(false);
    if (titleLineEdit_->text().isEmpty()) {
        ShowPage(0);
        ShowMessage(tr("VideoEditDialog.EmptyTitle"));
        SetButtonsEnabled(true);
        return;
    }
    const QString title = titleLineEdit_->text();
    const QString tags = tagsLineEdit_->text();
    const QString desc = descPlainTextEdit_->toPlainText();
    if (uploadMode_ || !model_) {
        if (Validate()) {
            title_ = title;
            tags_ = tags;
            desc_ = desc;
            QDialog::accept();
        }
        SetButtonsEnabled(true);
        return;
    }
    if (title == title_ && tags == tags_ && desc == desc_) {
        // Nothing to send.
        if (CanClose())
            QDialog::accept();
        SetButtonsEnabled(true);
        return;
    }
    if (!Validate()) {
        SetButtonsEnabled(true);
        return;
    }
    updateTaskId_ = model_->UpdateVideoInfo(vid_, title, tags, desc);
    if (updateTaskId_.isNull())
        SetButtonsEnabled(true);
}

void VideoEditDialog::accept()
{
    OnConfirm();
}

void VideoEditDialog::reject()
{
    // The cancel button, the window's close button and Escape all end here.
    if (CanClose())
        QDialog::reject();
}

bool VideoEditDialog::CanClose()
{
    if (!updateTaskId_.isNull()) {
        ShowPage(0);
        ShowMessage(tr("VideoEditDialog.CloseWhenUpdateVideoInfo!"));
        return false;
    }
    if (!changeTaskId_.isNull()) {
        ShowMessage(tr("VideoEditDialog.CloseWhenChanging!"));
        return false;
    }
    if (!uploadTaskId_.isNull() || !pendingCoverPath_.isEmpty()) {
        ShowMessage(tr("VideoEditDialog.CloseWhenUploading!"));
        return false;
    }
    return true;
}

// ---- Model answers -----------------------------------------------------------

void VideoEditDialog::OnUpdateVideoInfoSucceed(const QString& vid, const QString& title, const QString& tags,
                                               const QString& desc)
{
    if (updateTaskId_.isNull() || vid != vid_)
        return;
    updateTaskId_ = QUuid();
    title_ = title;
    tags_ = tags;
    desc_ = desc;
    if (CanClose())
        QDialog::accept();
    else
        SetButtonsEnabled(true);
}

void VideoEditDialog::OnUpdateVideoInfoFailed(const QString& error)
{
    if (updateTaskId_.isNull())
        return;
    updateTaskId_ = QUuid();
    ShowPage(0);
    SetButtonsEnabled(true);
    ShowMessage(tr("VideoEditDialog.UpdateVideoInfoFailed:") + error);
}

void VideoEditDialog::OnTaskEndStatus(const QUuid& uuid, TaskEndStatus status)
{
    // The answers above arrive before the end of their task and clear the
    // ids; a task that ended without an answer for this dialog (cancelled,
    // or an answer without this vid) must not keep the dialog busy.
    Q_UNUSED(status);
    if (uuid.isNull())
        return;
    if (uuid == loadTaskId_) {
        loadTaskId_ = QUuid();
    } else if (uuid == updateTaskId_) {
        updateTaskId_ = QUuid();
        SetButtonsEnabled(true);
    } else if (uuid == changeTaskId_) {
        changeTaskId_ = QUuid();
        MarkSelected(-2);
    } else if (uuid == uploadTaskId_) {
        uploadTaskId_ = QUuid();
        EndCoverUpload();
    }
}

// ---- Cover page --------------------------------------------------------------

void VideoEditDialog::LoadCoverPage()
{
    if (!model_ || uploadMode_ || !loadTaskId_.isNull())
        return;
    // The basic section as well: its cover URL is current even when the
    // list row is older than the last cover change.
    loadTaskId_ = model_->GetVideosInfo({vid_}, ApiCollection::Snapshot | ApiCollection::Basic);
}

void VideoEditDialog::OnGetVideosInfoSucceed(const ApiCollection::VideoInfosResult& infos)
{
    if (loadTaskId_.isNull())
        return;
    const ApiCollection::VideoInfo* info = nullptr;
    for (const ApiCollection::VideoInfo& candidate : infos.infos) {
        if (candidate.vid == vid_) {
            info = &candidate;
            break;
        }
    }
    if (!info) {
        qWarning() << "Api GetVideosInfo does not contain vid data:" << vid_;
        return; // the id is cleared when the task ends
    }
    loadTaskId_ = QUuid();
    const QList<QUrl>& urls = info->bigImageUrls;
    if (urls.size() != kSnapshotCount)
        qWarning() << "bigImageUrl length is" << urls.size();
    for (int i = 0; i < kSnapshotCount; ++i) {
        const QUrl url = i < urls.size() ? urls.at(i) : QUrl();
        if (pics_[size_t(i)].url != url) {
            pics_[size_t(i)].url = url;
            SetDefaultPicture(i);
        }
    }
    if ((infos.sections & ApiCollection::Basic) && info->coverURL.isValid())
        coverUrl_ = info->coverURL;
    if (pics_[kSelectedSlot].url != coverUrl_) {
        pics_[kSelectedSlot].url = coverUrl_;
        SetDefaultPicture(kSelectedSlot);
    }
    MarkSelected(-2);
    emit SignalLoadUrlDone();
}

void VideoEditDialog::OnGetVideosInfoFailed(const QString& error)
{
    if (loadTaskId_.isNull())
        return;
    loadTaskId_ = QUuid();
    ShowMessage(tr("VideoEditDialog.GetVideosInfoFailed: %1").arg(error));
}

bool VideoEditDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        for (int i = 0; i < kSnapshotCount; ++i) {
            if (watched == pics_[size_t(i)].label) {
                emit SignalCoverClicked(pics_[size_t(i)].label);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void VideoEditDialog::OnCoverClicked(QLabel* label)
{
    int slot = -1;
    for (int i = 0; i < kSnapshotCount; ++i)
        if (pics_[size_t(i)].label == label)
            slot = i;
    // One change at a time: the model would abort the older one, whose
    // failure could not be told from the newer one's.
    if (slot < 0 || !label->property("valid").toBool() || !changeTaskId_.isNull() || !model_)
        return;
    MarkSelected(slot);
    changeTaskId_ = model_->ChangeVideoCover(vid_, pics_[size_t(slot)].url);
    if (changeTaskId_.isNull())
        MarkSelected(-2);
}

void VideoEditDialog::OnChangeVideoCoverSucceed(const QString& vid, const QUrl& coverUrl,
                                                const QUrl& thumbsUrl)
{
    Q_UNUSED(thumbsUrl);
    if (changeTaskId_.isNull() || vid != vid_)
        return;
    changeTaskId_ = QUuid();
    coverUrl_ = coverUrl;
    pics_[kSelectedSlot].url = coverUrl;
    FetchPictures({kSelectedSlot});
    ShowMessage(tr("VideoEditDialog.ChangeCoverSucceed"));
}

void VideoEditDialog::OnChangeVideoCoverFailed(const QString& error)
{
    if (changeTaskId_.isNull())
        return;
    changeTaskId_ = QUuid();
    MarkSelected(-2);
    ShowMessage(tr("VideoEditDialog.ChangeCoverFailed: %1").arg(error));
}

void VideoEditDialog::MarkSelected(int slot)
{
    // -2: the snapshot that is the current cover, if any.
    if (slot == -2) {
        slot = -1;
        for (int i = 0; i < kSnapshotCount; ++i)
            if (!coverUrl_.isEmpty() && pics_[size_t(i)].url == coverUrl_)
                slot = i;
    }
    selectedSlot_ = slot;
    for (int i = 0; i < kSnapshotCount; ++i)
        selectedMarks_[size_t(i)]->setVisible(i == slot);
}

void VideoEditDialog::SetDefaultPicture(int slot)
{
    QLabel* label = pics_[size_t(slot)].label;
    const QSize size = label->size() * 2 / 3;
    label->setPixmap(QIcon(QStringLiteral(":/image/common/icon_default_video_thumbs.svg")).pixmap(size));
    label->setProperty("valid", false);
}

void VideoEditDialog::OnUploadCoverClicked()
{
    if (!customCoverUploaded_) {
        ChooseCoverFile();
        return;
    }
    // Window-modal and answered through a signal: no nested event loop.
    auto* box = new MsgBox(this, MsgBox::Warning, QString(), tr("VideoEditDialog.ReUploadCoverWillOverride?"),
                           QDialogButtonBox::Ok | QDialogButtonBox::Cancel, QDialogButtonBox::NoButton);
    box->setObjectName(QStringLiteral("reUploadQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QDialog::finished, this, [this](int result) {
        if (result == QDialogButtonBox::Ok)
            ChooseCoverFile();
    });
    box->open();
}

void VideoEditDialog::ChooseCoverFile()
{
    auto* chooser =
        new QFileDialog(this, tr("VideoEditDialog.ChoiceFile"), LastCoverFolder(),
                        QStringLiteral("%1 (%2)").arg(tr("VideoEditDialog.SupportImageFormat"),
                                                      QStringLiteral("*.jpg *.png *.jpeg *.gif *.bmp")));
    chooser->setObjectName(QStringLiteral("coverFileDialog"));
    chooser->setFileMode(QFileDialog::ExistingFile);
    chooser->setAcceptMode(QFileDialog::AcceptOpen);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    connect(chooser, &QFileDialog::fileSelected, this, [this](const QString& path) {
        if (path.isEmpty())
            return;
        LastCoverFolder() = QFileInfo(path).absolutePath();
        UploadCoverFile(path);
    });
    chooser->open();
}

VideoEditDialog::CoverCheck VideoEditDialog::CheckCoverFile(const QString& path)
{
    const QFileInfo info(path);
    if (info.size() > kMaxCoverBytes)
        return CoverFileTooLarge;
    QImageReader reader(path);
    const QSize size = reader.size();
    if (!size.isValid())
        return CoverNotAnImage;
    if (size.width() > kMaxCoverWidth || size.height() > kMaxCoverHeight)
        return CoverResolutionTooLarge;
    return CoverAccepted;
}

QImage VideoEditDialog::LoadPicture(const QString& path, const QSize& size)
{
    QImageReader reader(path);
    const QSize full = reader.size();
    // Covers stay within 1920 x 1080; anything far larger is not decoded.
    if (!full.isValid() || full.width() > kMaxCoverWidth * 2 || full.height() > kMaxCoverHeight * 2)
        return QImage();
    if (size.isValid())
        reader.setScaledSize(full.scaled(size, Qt::KeepAspectRatio));
    return reader.read();
}

QString VideoEditDialog::CacheFileOf(const QString& userId, const QString& vid, const QUrl& url)
{
    // The library's thumbnail cache, so that both share what they fetched.
    return VideoTableModelWorker::ThumbnailDir(userId, vid) + QLatin1Char('/') +
           VideoTableModelWorker::ThumbnailFileName(url);
}

bool VideoEditDialog::UploadCoverFile(const QString& path)
{
    switch (CheckCoverFile(path)) {
    case CoverFileTooLarge:
        ShowMessage(tr("VideoEditDialog.UploadCoverFileSizeTooLarge"));
        return false;
    case CoverResolutionTooLarge:
        ShowMessage(tr("VideoEditDialog.UploadCoverResolutionTooLarge"));
        return false;
    case CoverNotAnImage:
        ShowMessage(tr("VideoEditDialog.UploadCoverNotImage"));
        return false;
    case CoverAccepted:
        break;
    }
    qInfo() << "Start upload cover:" << path;
    ShowCustomCover(path);
    uploadingOverlay_->show();
    uploadCoverButton_->setEnabled(false);
    if (!uploadTaskId_.isNull()) {
        // Starts when the running upload has ended, whichever way it ends.
        pendingCoverPath_ = path;
        return true;
    }
    StartCoverUpload(path);
    return true;
}

void VideoEditDialog::ShowCustomCover(const QString& path)
{
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap = QPixmap::fromImage(LoadPicture(path, customPicLabel_->size() * ratio));
    pixmap.setDevicePixelRatio(ratio);
    customPicLabel_->setPixmap(pixmap);
    customPicLabel_->setProperty("valid", !pixmap.isNull());
}

void VideoEditDialog::StartCoverUpload(const QString& path)
{
    pendingCoverPath_.clear();
    if (model_)
        uploadTaskId_ = model_->UploadVideoCover(vid_, QFileInfo(path));
    if (uploadTaskId_.isNull())
        EndCoverUpload();
}

void VideoEditDialog::EndCoverUpload()
{
    if (!pendingCoverPath_.isEmpty()) {
        const QString next = pendingCoverPath_;
        StartCoverUpload(next);
        return;
    }
    uploadingOverlay_->hide();
    uploadCoverButton_->setEnabled(true);
}

void VideoEditDialog::OnUploadVideoCoverSucceed(const QString& vid, const QUrl& coverUrl)
{
    if (uploadTaskId_.isNull() || vid != vid_)
        return;
    uploadTaskId_ = QUuid();
    customCoverUploaded_ = true;
    lastCustomCover_ = customPicLabel_->pixmap(Qt::ReturnByValue);
    coverUrl_ = coverUrl;
    ShowMessage(tr("VideoEditDialog.UploadCoverSucceed"));
    QMetaObject::invokeMethod(this, "DownloadUploadCover", Qt::QueuedConnection);
    EndCoverUpload();
}

void VideoEditDialog::OnUploadVideoCoverFailed(const QString& error)
{
    if (uploadTaskId_.isNull())
        return;
    uploadTaskId_ = QUuid();
    ShowMessage(tr("VideoEditDialog.UploadCoverFailed: %1").arg(error));
    if (pendingCoverPath_.isEmpty()) {
        // Back to what the server has.
        customPicLabel_->setPixmap(lastCustomCover_);
        customPicLabel_->setProperty("valid", !lastCustomCover_.isNull());
        FetchPictures({kSelectedSlot});
    }
    EndCoverUpload();
}

void VideoEditDialog::DownloadUploadCover()
{
    pics_[kSelectedSlot].url = coverUrl_;
    MarkSelected(-2);
    FetchPictures({kSelectedSlot});
}

// ---- Picture fetch -------------------------------------------------------------

void VideoEditDialog::FetchPictures(const QList<int>& which)
{
    for (int slot : which)
        if (!pendingFetch_.contains(slot))
            pendingFetch_ << slot;
    if (!fetchJob_)
        StartFetch();
}

void VideoEditDialog::StartFetch()
{
    auto job = std::make_shared<FetchJob>();
    job->userId = userId_;
    job->vid = vid_;
    const qreal ratio = devicePixelRatioF();
    for (int slot : qAsConst(pendingFetch_)) {
        LabelInfo info = pics_[size_t(slot)];
        if (info.url.isEmpty())
            continue;
        info.file = CacheFileOf(userId_, vid_, info.url);
        info.size = info.label->size() * ratio;
        job->items.push_back(info);
    }
    pendingFetch_.clear();
    if (job->items.empty())
        return;
    fetchJob_ = job;
    fetchWatcher_.setFuture(QtConcurrent::run([this, job] { FetchWork(this, job.get()); }));
}

void VideoEditDialog::FetchWork(VideoEditDialog* dialog, FetchJob* job)
{
    const QString folder = VideoTableModelWorker::ThumbnailDir(job->userId, job->vid);
    if (!QDir().mkpath(folder)) {
        qCritical() << "mkpath failed:" << folder;
        return;
    }
    std::vector<ApiCollection::DownloadInfo> downloads;
    downloads.reserve(job->items.size());
    for (LabelInfo& info : job->items) {
        if (QFileInfo::exists(info.file)) {
            info.image = LoadPicture(info.file, info.size);
            if (!info.image.isNull()) {
                emit dialog->SignalLabelUpdatePixmap(&info);
                continue;
            }
            qWarning() << "cache image is invalid:" << info.file;
        }
        ApiCollection::DownloadInfo download;
        download.url = info.url;
        download.file = QFileInfo(info.file);
        download.userData = &info;
        downloads.push_back(download);
    }
    if (downloads.empty())
        return;
    QList<ApiCollection::DownloadInfo*> items;
    for (ApiCollection::DownloadInfo& download : downloads)
        items << &download;
    const ApiCollection::RequestError result = ApiCollection::MultiDownload(
        job->uuid, items,
        [dialog](ApiCollection::DownloadInfo* item, bool success) {
            auto* info = static_cast<LabelInfo*>(item->userData);
            if (!success)
                return;
            info->image = LoadPicture(info->file, info->size);
            if (!info->image.isNull())
                emit dialog->SignalLabelUpdatePixmap(info);
        },
        &job->abort);
    if (result != ApiCollection::NoError)
        qWarning() << "MultiDownload result:" << ApiCollection::RequestErrorName(result);
}

void VideoEditDialog::OnLabelUpdatePixmap(VideoEditDialog::LabelInfo* info)
{
    for (LabelInfo& pic : pics_) {
        // A picture for a URL the label no longer shows is stale.
        if (pic.label != info->label || pic.url != info->url)
            continue;
        QPixmap pixmap = QPixmap::fromImage(info->image);
        pixmap.setDevicePixelRatio(devicePixelRatioF());
        pic.label->setPixmap(pixmap);
        pic.label->setProperty("valid", true);
    }
}

void VideoEditDialog::OnFetchFinished()
{
    // Every picture of the job was delivered before this (queued in order).
    fetchJob_.reset();
    if (!pendingFetch_.isEmpty())
        StartFetch();
}
