#include "ui/shell/updatedialog.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMetaEnum>
#include <QMovie>
#include <QMutex>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QUuid>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <mutex>
#include <vector>

#include "base/config.h"
#include "base/version.h"
#include "platform/platform.h"
#include "ui/common/msgbox.h"
#include "ui/common/stylehelper.h"
#include "ui/common/titlebar.h"
#include "ui/common/toast.h"
#include "upload/sdkmanager.h"

using namespace ApiCollection;

namespace {

QMutex g_infoMutex;
ClientUpdateInfo g_updateInfo;

// Checks and downloads still running, with their abort flags.
struct Worker
{
    std::shared_ptr<UpdateDialog::AbortFlag> flag;
    QFuture<void> future;
};
std::mutex g_workersMutex;
std::vector<Worker> g_workers;

void TrackWorker(std::shared_ptr<UpdateDialog::AbortFlag> flag, const QFuture<void>& future)
{
    std::lock_guard<std::mutex> lock(g_workersMutex);
    g_workers.erase(std::remove_if(g_workers.begin(), g_workers.end(),
                                   [](const Worker& w) { return w.future.isFinished(); }),
                    g_workers.end());
    g_workers.push_back({std::move(flag), future});
}

QPointer<UpdateDialog> g_dialog;

QString CurrentVersionText()
{
    return QString::fromLatin1(orvane::kVersionText);
}

QLabel* MakeLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    button->setMinimumSize(96, 32);
    return button;
}

QLabel* MakeIcon(QWidget* parent, const char* name, const char* icon, int size = 48)
{
    QLabel* label = MakeLabel(parent, name);
    label->setPixmap(QIcon(QString::fromLatin1(icon)).pixmap(QSize(size, size)));
    label->setFixedSize(size, size);
    return label;
}

QWidget* AddPage(QStackedWidget* stack, const char* name)
{
    auto* page = new QWidget(stack);
    page->setObjectName(QString::fromLatin1(name));
    stack->addWidget(page);
    return page;
}

// The download and install pages: an icon over a centred text, the buttons in
// a centred row below.
void LayOutMessagePage(QWidget* page, QLabel* icon, QLabel* text, std::initializer_list<QPushButton*> buttons)
{
    text->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(32, 24, 32, 24);
    layout->setSpacing(12);
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    row->addStretch(1);
    for (QPushButton* button : buttons)
        row->addWidget(button);
    row->addStretch(1);
    layout->addStretch(1);
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    layout->addWidget(text);
    layout->addStretch(1);
    layout->addLayout(row);
}

} // namespace

// Forwards a download's outcome from its worker thread; the dialog may be gone by then.
class DownloadRelay : public QObject
{
    Q_OBJECT
signals:
    void Progress(qlonglong downloaded, qlonglong total);
    void Succeeded();
    void Failed();
};

UpdateDialog::CheckVersionResult UpdateDialog::CheckVersion(const AbortFlag* abortFlag)
{
    const QUuid uuid = QUuid::createUuid();
    const Result<QByteArray> response = CheckClientUpdateRequest(uuid, abortFlag);
    const Result<ClientUpdateInfo> checked = Parsed(response, ParseCheckClientUpdateResponse);
    if (response) {
        QMutexLocker lock(&g_infoMutex);
        g_updateInfo = checked.valueOr(ClientUpdateInfo());
    }
    if (!checked) {
        qWarning().noquote() << "CheckClientUpdate failed:" << RequestErrorName(checked.code())
                             << RequestErrorToString(checked.code());
        return CheckFailed;
    }
    const ClientUpdateInfo& result = checked.value();
    qDebug() << "result.code:" << result.code;
    qDebug() << "result.success:" << result.success;
    qDebug() << "result.message:" << result.message;
    qDebug() << "result.projectName:" << result.projectName;
    qDebug() << "result.projectVersion:" << result.projectVersion;
    qDebug() << "result.projectDescription:" << result.projectDescription;
    qDebug() << "result.projectDownload:" << result.projectDownload;
    qDebug() << "result.silenceInstall:" << result.silenceInstall;
    qDebug() << "result.forceInstall:" << result.forceInstall;
    if (IsNewerVersion(result.projectVersion)) {
        qInfo() << "Newer Version:" << result.projectVersion;
        qInfo() << "Newer Version Description:" << result.projectDescription;
        return HasNewerVersion;
    }
    return AlreadyUpToDate;
}

std::shared_ptr<UpdateDialog::CheckWatcher>
UpdateDialog::StartCheckVersion(std::shared_ptr<AbortFlag> abortFlag,
                                std::function<void(CheckVersionResult)> done)
{
    // Deleted later: the owner may drop it from inside its own finished signal.
    std::shared_ptr<CheckWatcher> watcher(new CheckWatcher, [](CheckWatcher* w) { w->deleteLater(); });
    CheckWatcher* raw = watcher.get();
    QObject::connect(raw, &CheckWatcher::finished, raw, [raw, done = std::move(done)]() {
        if (done)
            done(raw->result());
    });
    const QFuture<CheckVersionResult> future =
        QtConcurrent::run([abortFlag]() { return CheckVersion(abortFlag.get()); });
    TrackWorker(abortFlag, future);
    raw->setFuture(future);
    return watcher;
}

bool UpdateDialog::IsNewerVersion(const QString& serverVersion)
{
    static const QRegularExpression pattern(QStringLiteral("(\\d+)\\.(\\d+)\\.(\\d+)"));
    const QRegularExpressionMatch match = pattern.match(serverVersion);
    int numbers[3] = {0, 0, 0};
    QString matched;
    if (match.hasMatch()) {
        matched = match.captured(0);
        for (int i = 0; i < 3; ++i)
            numbers[i] = match.captured(i + 1).toInt();
    } else {
        qWarning() << "ParseVersion failed, input illegal:" << serverVersion;
    }
    if (matched != serverVersion) {
        qWarning().noquote() << QStringLiteral("ParseVersion result(%1) is different from server(%2)")
                                    .arg(matched, serverVersion);
        return false;
    }
    const int current[3] = {orvane::kVersionMajor, orvane::kVersionMinor, orvane::kVersionPatch};
    return std::lexicographical_compare(current, current + 3, numbers, numbers + 3);
}

ClientUpdateInfo UpdateDialog::LastUpdateInfo()
{
    QMutexLocker lock(&g_infoMutex);
    return g_updateInfo;
}

void UpdateDialog::AbortAndWaitForWorkers()
{
    std::vector<Worker> workers;
    {
        std::lock_guard<std::mutex> lock(g_workersMutex);
        workers.swap(g_workers);
    }
    for (Worker& w : workers)
        w.flag->store(true);
    for (Worker& w : workers)
        w.future.waitForFinished();
}

UpdateDialog* UpdateDialog::Current()
{
    return g_dialog.data();
}

UpdateDialog* UpdateDialog::ShowUpdateDialog(Config* config, SDKManager* uploads, QWidget* area)
{
    return ShowOnce(config, uploads, area, Checking);
}

UpdateDialog* UpdateDialog::ShowNewVersion(Config* config, SDKManager* uploads, QWidget* area)
{
    return ShowOnce(config, uploads, area, NewVersion);
}

UpdateDialog* UpdateDialog::ShowOnce(Config* config, SDKManager* uploads, QWidget* area, PageState first)
{
    if (g_dialog) {
        g_dialog->activateWindow();
        g_dialog->raise();
        return g_dialog;
    }
    g_dialog = new UpdateDialog(config, uploads, area);
    g_dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (first == Checking)
        g_dialog->StartCheck();
    else
        g_dialog->SetState(first);
    g_dialog->show();
    return g_dialog;
}

UpdateDialog::UpdateDialog(Config* config, SDKManager* uploads, QWidget* area)
    : QDialog(nullptr), config_(config), uploads_(uploads), area_(area),
      checkAbort_(std::make_shared<AbortFlag>(false)), downloadAbort_(std::make_shared<AbortFlag>(false))
{
    setObjectName(QStringLiteral("UpdateDialog"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    BindStyleSheet(this, {QStringLiteral("UpdateDialog.qss")});
    setFixedSize(400, 250);
    setWindowTitle(tr("UpdateDialog.Title"));
    BuildUi();

    connect(this, &UpdateDialog::SignalDownloadProgress, this, &UpdateDialog::OnDownloadProgress);
    connect(this, &UpdateDialog::SignalDownloadSucceed, this, &UpdateDialog::OnDownloadSucceed);
    connect(this, &UpdateDialog::SignalDownloadFailed, this, [this]() {
        downloading_ = false;
        SetState(DownloadFailed);
    });
    connect(checkPageButton_, &QPushButton::clicked, this, &UpdateDialog::OnCheckPageButton);
    connect(updateButton_, &QPushButton::clicked, this, [this]() { SetState(Downloading); });
    connect(downloadPageButton_, &QPushButton::clicked, this, &UpdateDialog::OnDownloadPageButton);
    connect(installButton_, &QPushButton::clicked, this, &UpdateDialog::OnInstall);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::close);
}

UpdateDialog::~UpdateDialog()
{
    // Running workers keep the flags alive and see them set.
    checkAbort_->store(true);
    downloadAbort_->store(true);
}

void UpdateDialog::BuildUi()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    titlebar_ = new TitleBar(this);
    titlebar_->setObjectName(QStringLiteral("titlebar"));
    titlebar_->setFixedHeight(40);
    titlebar_->SetTitle(tr("UpdateDialog.Title"));
    titlebar_->minimumBtn()->hide();
    titlebar_->maximumBtn()->hide();
    root->addWidget(titlebar_);

    stackedWidget_ = new QStackedWidget(this);
    stackedWidget_->setObjectName(QStringLiteral("stackedWidget"));
    root->addWidget(stackedWidget_, 1);

    // Checking, up to date, check failed.
    checkPage_ = AddPage(stackedWidget_, "checkPage");
    {
        auto* layout = new QVBoxLayout(checkPage_);
        layout->setContentsMargins(32, 28, 32, 24);
        layout->setSpacing(12);
        versionLabel_ = MakeLabel(checkPage_, "versionLabel");
        versionLabel_->setText(tr("Version"));
        versionLabel_->setAlignment(Qt::AlignCenter);
        auto* remarkRow = new QHBoxLayout;
        remarkRow->setSpacing(6);
        checkingLoadingLabel_ = MakeLabel(checkPage_, "checkingLoadingLabel");
        checkingLoadingLabel_->setFixedSize(16, 16);
        const bool highDpi = devicePixelRatioF() > 1.0;
        loadingMovie_ = new QMovie(highDpi ? QStringLiteral(":/image/common/loading_16@2x.gif")
                                           : QStringLiteral(":/image/common/loading_16.gif"),
                                   QByteArray(), this);
        loadingMovie_->setScaledSize(QSize(16, 16));
        checkingLoadingLabel_->setMovie(loadingMovie_);
        remarkLabel_ = MakeLabel(checkPage_, "remarkLabel");
        remarkLabel_->setText(tr("AlreadyNewVersionRemark"));
        remarkLabel_->setWordWrap(true);
        remarkRow->addStretch(1);
        remarkRow->addWidget(checkingLoadingLabel_);
        remarkRow->addWidget(remarkLabel_);
        remarkRow->addStretch(1);
        checkPageButton_ = MakeButton(checkPage_, "checkPageButton", tr("Ok"));
        layout->addStretch(1);
        layout->addWidget(versionLabel_);
        layout->addLayout(remarkRow);
        layout->addStretch(1);
        layout->addWidget(checkPageButton_, 0, Qt::AlignHCenter);
    }

    // The new version with its release notes.
    updateInfoPage_ = AddPage(stackedWidget_, "updateInfoPage");
    {
        auto* layout = new QVBoxLayout(updateInfoPage_);
        layout->setContentsMargins(24, 12, 24, 16);
        layout->setSpacing(8);
        auto* head = new QHBoxLayout;
        head->setSpacing(10);
        QLabel* icon = MakeIcon(updateInfoPage_, "newIconLabel", ":/image/update/new-version.svg", 32);
        newVersionLabel_ = MakeLabel(updateInfoPage_, "newVersionLabel");
        newVersionLabel_->setText(tr("VersionInfo"));
        newVersionLabel_->setTextFormat(Qt::RichText);
        head->addWidget(icon);
        head->addWidget(newVersionLabel_, 1);
        newVersionDescTextEdit_ = new QTextBrowser(updateInfoPage_);
        newVersionDescTextEdit_->setObjectName(QStringLiteral("newVersionDescTextEdit"));
        newVersionDescTextEdit_->setReadOnly(true);
        newVersionDescTextEdit_->setOpenExternalLinks(true);
        updateButton_ = MakeButton(updateInfoPage_, "updateButton", tr("Update"));
        layout->addLayout(head);
        layout->addWidget(newVersionDescTextEdit_, 1);
        layout->addWidget(updateButton_, 0, Qt::AlignHCenter);
    }

    // Downloading, download failed.
    downloadPage_ = AddPage(stackedWidget_, "downloadPage");
    downloadInfoLabel_ = MakeLabel(downloadPage_, "downloadInfoLabel");
    downloadInfoLabel_->setText(tr("DownloadingInfo"));
    downloadInfoLabel_->setTextFormat(Qt::RichText);
    downloadPageButton_ = MakeButton(downloadPage_, "downloadPageButton", tr("Cancel"));
    LayOutMessagePage(downloadPage_,
                      MakeIcon(downloadPage_, "downloadPageIconLabel", ":/image/update/download.svg"),
                      downloadInfoLabel_, {downloadPageButton_});

    // Install now.
    installPage_ = AddPage(stackedWidget_, "installPage");
    installPackageInfoLabel_ = MakeLabel(installPage_, "installPackageInfoLabel");
    installPackageInfoLabel_->setText(tr("Download succeed, install new version right now?"));
    installPackageInfoLabel_->setWordWrap(true);
    installButton_ = MakeButton(installPage_, "installButton", tr("Install"));
    cancelButton_ = MakeButton(installPage_, "cancelButton", tr("Cancel"));
    LayOutMessagePage(installPage_,
                      MakeIcon(installPage_, "installPageIconLabel", ":/image/update/install.svg"),
                      installPackageInfoLabel_, {installButton_, cancelButton_});
}

void UpdateDialog::StartCheck()
{
    SetState(Checking);
    checkAbort_->store(false);
    QPointer<UpdateDialog> self(this);
    checkWatcher_ = StartCheckVersion(checkAbort_, [self, flag = checkAbort_](CheckVersionResult result) {
        // A check the user cancelled changes nothing, even when its answer arrives.
        if (!self || flag->load())
            return;
        switch (result) {
        case AlreadyUpToDate:
            self->SetState(UpToDate);
            break;
        case HasNewerVersion:
            self->SetState(NewVersion);
            break;
        default:
            self->SetState(CheckFailedPage);
            break;
        }
    });
}

void UpdateDialog::SetState(int state)
{
    state_ = state;
    const QString current = CurrentVersionText();
    if (state != Checking) {
        loadingMovie_->stop();
        checkingLoadingLabel_->hide();
    }
    switch (state) {
    case Checking:
        stackedWidget_->setCurrentWidget(checkPage_);
        versionLabel_->setText(QStringLiteral("%1 %2").arg(tr("Current Version"), current));
        checkingLoadingLabel_->show();
        loadingMovie_->start();
        remarkLabel_->setText(tr("Checking"));
        SetStyleProperty(remarkLabel_, "checkState", QStringLiteral("checking"));
        checkPageButton_->setText(tr("Cancel"));
        SetStyleProperty(checkPageButton_, "state", QStringLiteral("cancel"));
        break;
    case UpToDate:
        stackedWidget_->setCurrentWidget(checkPage_);
        versionLabel_->setText(QStringLiteral("%1 %2").arg(tr("Current version"), current));
        remarkLabel_->setText(tr("AlreadyNewVersionRemark"));
        SetStyleProperty(remarkLabel_, "checkState", QStringLiteral("normal"));
        checkPageButton_->setText(tr("Ok"));
        SetStyleProperty(checkPageButton_, "state", QStringLiteral("ok"));
        break;
    case CheckFailedPage:
        stackedWidget_->setCurrentWidget(checkPage_);
        versionLabel_->setText(QStringLiteral("%1 %2").arg(tr("Current Version"), current));
        remarkLabel_->setText(tr("Check failed, please retry"));
        SetStyleProperty(remarkLabel_, "checkState", QStringLiteral("failed"));
        checkPageButton_->setText(tr("recheck"));
        SetStyleProperty(checkPageButton_, "state", QStringLiteral("ok"));
        break;
    case NewVersion: {
        const ClientUpdateInfo info = LastUpdateInfo();
        stackedWidget_->setCurrentWidget(updateInfoPage_);
        newVersionLabel_->setText(
            QStringLiteral("%1 %2").arg(tr("Has new version"), info.projectVersion.toHtmlEscaped()) +
            QStringLiteral(" <span style='color:#757575;'>%1</span>")
                .arg(tr("(Current version %1)").arg(current)));
        newVersionDescTextEdit_->setPlainText(info.projectDescription);
        // A fixed line height over the whole text.
        QTextCursor cursor(newVersionDescTextEdit_->document());
        cursor.select(QTextCursor::Document);
        QTextBlockFormat format;
        format.setLineHeight(22, QTextBlockFormat::FixedHeight);
        cursor.mergeBlockFormat(format);
        break;
    }
    case Downloading:
        stackedWidget_->setCurrentWidget(downloadPage_);
        SlotSetDownloadPercent(0);
        downloadPageButton_->setText(tr("Cancel"));
        SetStyleProperty(downloadPageButton_, "state", QStringLiteral("cancel"));
        StartDownload();
        break;
    case DownloadFailed:
        stackedWidget_->setCurrentWidget(downloadPage_);
        downloadInfoLabel_->setText(
            QStringLiteral("<span style='color:#FF3D3D'>%1</span>").arg(tr("Download failed, please retry")));
        downloadPageButton_->setText(tr("Retry"));
        SetStyleProperty(downloadPageButton_, "state", QStringLiteral("normal"));
        break;
    case Install:
        stackedWidget_->setCurrentWidget(installPage_);
        break;
    default:
        break;
    }
    Repolish(stackedWidget_->currentWidget());
    stackedWidget_->setFocus();
}

QString UpdateDialog::InstallerPath() const
{
    QString name;
    if (config_)
        name = QFileInfo(config_->value(QStringLiteral("Custom"), QStringLiteral("package")).toString())
                   .fileName();
    if (name.isEmpty())
        name = platform::DefaultInstallerName(LastUpdateInfo().projectDownload);
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (dir.isEmpty())
        dir = QDir::homePath();
    return QDir(dir).absoluteFilePath(name);
}

void UpdateDialog::StartDownload()
{
    if (downloading_) {
        qWarning() << "Update is downloading";
        return;
    }
    downloading_ = true;
    downloadTotal_ = 0;
    downloadAbort_->store(false);
    installerPath_ = InstallerPath();
    const QString url = LastUpdateInfo().projectDownload;
    const QString path = installerPath_;

    // The relay lives on this thread and is deleted there when the worker is done with it.
    std::shared_ptr<DownloadRelay> relay(new DownloadRelay, [](DownloadRelay* r) { r->deleteLater(); });
    connect(relay.get(), &DownloadRelay::Progress, this, &UpdateDialog::SignalDownloadProgress);
    connect(relay.get(), &DownloadRelay::Succeeded, this, &UpdateDialog::SignalDownloadSucceed);
    connect(relay.get(), &DownloadRelay::Failed, this, &UpdateDialog::SignalDownloadFailed);

    const std::shared_ptr<AbortFlag> flag = downloadAbort_;
    const QFuture<void> future = QtConcurrent::run([url, path, flag, relay]() {
        DownloadInfo item;
        item.url = QUrl(url);
        item.file = QFileInfo(path);
        qint64 announced = 0;
        int lastPercent = -1;
        item.progress = [&announced, &lastPercent, relay](qint64 total, qint64 now, qint64, qint64) {
            // One signal per percent is plenty for the display.
            const int percent = total > 0 ? static_cast<int>(now * 100 / total) : -1;
            if (total == announced && percent == lastPercent)
                return;
            announced = total;
            lastPercent = percent;
            emit relay->Progress(now, total);
        };
        RequestError error = MultiDownload(QUuid::createUuid(), {&item}, nullptr, flag.get());
        if (error == NoError && announced > 0 && QFileInfo(path).size() != announced) {
            // Fewer bytes than the server announced: never start a cut-off installer.
            qWarning() << "Download package incomplete:" << QFileInfo(path).size() << "of" << announced;
            QFile::remove(path);
            error = DownloadOccurSomeError;
        }
        if (error != NoError) {
            qWarning().noquote() << "Download package failed:" << RequestErrorName(error);
            emit relay->Failed();
        } else {
            emit relay->Succeeded();
        }
    });
    TrackWorker(flag, future);
}

void UpdateDialog::OnDownloadProgress(qlonglong downloaded, qlonglong total)
{
    if (total == 0)
        return;
    downloadTotal_ = total;
    SlotSetDownloadPercent(static_cast<int>(downloaded * 100 / total));
}

void UpdateDialog::SlotSetDownloadPercent(int percent)
{
    if (state_ != Downloading)
        return;
    downloadInfoLabel_->setText(
        QStringLiteral(
            "%1 <span style='font-size:16px;font-weight:bold;color:#0A8DFF;text-align:center;'>%2%</span>")
            .arg(tr("Downloading update"))
            .arg(percent));
}

void UpdateDialog::OnDownloadSucceed()
{
    downloading_ = false;
    // A download cancelled at its very end still counts as cancelled.
    if (downloadAbort_->load())
        return;
    SetState(Install);
}

void UpdateDialog::OnCheckPageButton()
{
    switch (state_) {
    case Checking:
        checkAbort_->store(true);
        close();
        break;
    case CheckFailedPage:
        StartCheck();
        break;
    default:
        close();
        break;
    }
}

void UpdateDialog::OnDownloadPageButton()
{
    if (state_ == Downloading) {
        // close() asks before it aborts.
        close();
    } else if (state_ == DownloadFailed) {
        SetState(Downloading);
    }
}

void UpdateDialog::OnInstall()
{
    if (uploads_ && uploads_->anyUploading()) {
        const int answer = MsgBox::warning(
            this, tr("SystemTip"), tr("There are some uploading tasks. Do you want to exit the application?"),
            QDialogButtonBox::Ok | QDialogButtonBox::Cancel, QDialogButtonBox::Cancel);
        if (answer != QDialogButtonBox::Ok)
            return;
    }
    const bool started = platform::StartInstaller(installerPath_);
    qInfo() << "Start Installer:" << installerPath_ << "succeed:" << started;
    if (!started) {
        // Quitting now would leave the user with neither the old client nor a new one.
        ShowToastInParent(this, tr("UpdateDialog.StartInstallerFailed"));
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), "quit", Qt::QueuedConnection);
}

bool UpdateDialog::ConfirmAbort()
{
    return MsgBox::warning(this, tr("SystemTip"), tr("Do you want to abort update?"),
                           QDialogButtonBox::Ok | QDialogButtonBox::Cancel,
                           QDialogButtonBox::Cancel) == QDialogButtonBox::Ok;
}

void UpdateDialog::reject()
{
    if (state_ == Checking && !checkAbort_->load()) {
        if (!ConfirmAbort())
            return;
        checkAbort_->store(true);
    } else if (state_ == Downloading && !downloadAbort_->load()) {
        if (!ConfirmAbort())
            return;
        downloadAbort_->store(true);
    }
    QDialog::reject();
}

void UpdateDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QRect area;
    if (area_)
        area = area_->window()->frameGeometry();
    else if (QScreen* s = screen())
        area = s->availableGeometry();
    if (area.isValid())
        move(area.center() - QPoint(width() / 2, height() / 2));
}

#include "updatedialog.moc"
