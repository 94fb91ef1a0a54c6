#include "app/application.h"

#include "account/accountmanager.h"
#include "app/config.h"
#include "app/legacyaccounts.h"
#include "app/paths.h"
#include "app/version.h"
#include "model/categorytreemodel.h"
#include "model/videotablemodel.h"
#include "storage/dbmanager.h"
#include "ui/desktop/desktopshell.h"
#include "ui/resources.h"
#include "ui/shell/logindialog.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/mainwindowtitlewidget.h"
#include "ui/shell/preferencedialog.h"
#include "ui/shell/updatedialog.h"
#include "upload/sdkmanager.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFont>
#include <QIcon>
#include <QProcess>
#include <QStyle>
#include <QStyleFactory>
#include <QTranslator>

#include <curl/curl.h>

namespace {
// Both aboutToQuit and the destructor call Stop; only the first call counts.
std::atomic<bool> g_stopped{false};
} // namespace

Application::Application(Config& config, int& argc, char** argv) : QApplication(argc, argv), config_(&config)
{
    setApplicationVersion(QString::fromLatin1(orvane::kVersionText));
    InitOrvaneResources();
    connect(this, &QCoreApplication::aboutToQuit, this, &Application::Stop);

    // The interface is designed around this face; elsewhere the closest CJK
    // sans serif stands in for it.
    QFont::insertSubstitutions(QStringLiteral("Microsoft YaHei"),
                               {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
                                QStringLiteral("WenQuanYi Micro Hei")});
    QFont font;
    font.setFamily(QStringLiteral("Microsoft YaHei"));
    setFont(font);

    setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    setStyleSheet(LoadQss(QStringLiteral("System.qss")) + LoadQss(QStringLiteral("TitleBar.qss")));
    setEffectEnabled(Qt::UI_AnimateCombo, false);
    setWindowIcon(QIcon(QStringLiteral(":/image/common/app.svg")));
}

Application::~Application()
{
    Stop();
}

bool Application::Init()
{
    qInfo() << "App Init";
    config_->RegisterDefaults();

    const QString dir = ResourceDir(QStringLiteral("translations"));
    LoadTranslator(QStringLiteral("%1/%2.qm").arg(dir, QStringLiteral("zh_CN")));
    LoadTranslator(QStringLiteral("%1/qt_%2.qm").arg(dir, QStringLiteral("zh_CN")));
    LoadTranslator(QStringLiteral("%1/%2.qm").arg(dir, QStringLiteral("widgets")));
    setApplicationDisplayName(tr("OrvaneUploadClient"));

    OpenDatabase();
    MigrateLegacyAccounts();
    curlInitialized_ = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    if (!curlInitialized_)
        qCritical() << "curl_global_init failed";
    CreateAccountManager();
    if (!InitNetWorkManager())
        qFatal("%s", "Init NetWork Manager Failed!");
    ApplyUploadSettings();
    CreateModels();
    desktop_ = new DesktopShell(*config_, SDKManager::instance(), this);
    ShowLoginDialog();
    ConnectLoginSucceed();
    StartStartupVersionCheck();
    connect(this, &Application::SignalAboutToAppStop, this, &Application::OnAboutToAppStop);
    return true;
}

int Application::Run()
{
    qInfo() << "App Run";
    const int code = exec();
    if (code == RestartExitCode) {
        // The absolute path of the running executable: the first argument may be
        // relative or a bare name looked up in PATH.
        const QString program = applicationFilePath();
        QStringList args = arguments();
        if (!args.isEmpty())
            args.removeFirst();
        if (!QProcess::startDetached(program, args))
            qWarning() << "Program restart failed:" << program << args;
        else
            qInfo() << "Program restart:" << program << args;
    }
    return code;
}

void Application::Stop()
{
    if (g_stopped.exchange(true))
        return;
    qInfo() << "App Stop";
    emit SignalAboutToAppStop();
    DeleteWindows();
    WaitForModelTasksAndDeleteModels();
    CloseDatabase();
    ShutdownUploadManager();
    if (curlInitialized_) {
        curl_global_cleanup();
        curlInitialized_ = false;
    }
}

QString Application::LoadQss(const QString& fileName)
{
    const QString path = ResourceDir(QStringLiteral("themes")) + QLatin1Char('/') + fileName;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "load qss file failed" << path << file.error();
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

void Application::LoadTranslator(const QString& path)
{
    auto* translator = new QTranslator(this);
    if (!translator->load(path)) {
        qWarning() << "load translator file failed: " << path;
        delete translator;
        return;
    }
    installTranslator(translator);
}

bool Application::InitNetWorkManager()
{
    const QString group = QStringLiteral("NetWorkManager");
    const int type = config_->value(group, QStringLiteral("proxyType")).toInt();
    const QString host = config_->value(group, QStringLiteral("proxyHostName")).toString();
    const uint port = config_->value(group, QStringLiteral("proxyPort")).toUInt();
    const QString user = config_->value(group, QStringLiteral("proxyUser")).toString();
    const QString password = config_->value(group, QStringLiteral("proxyPassword")).toString();
    PushProxySettings(type, host, port, user, password);
    return true;
}

bool Application::ApplyUploadSettings()
{
    const QString group = QStringLiteral("UploadTaskManager");
    const int maxTasks = config_->value(group, QStringLiteral("uploadTasksNum")).toInt();
    const bool autoStart = config_->value(group, QStringLiteral("autoStartUpload")).toBool();
    // The speed limit the user set is applied too, not only stored.
    const int limitKBps = config_->value(group, QStringLiteral("limitedSpeedValue")).toInt();
    PushUploadSettings(maxTasks, autoStart, limitKBps);
    return true;
}

void Application::MigrateLegacyAccounts()
{
    ImportLegacyAccounts(applicationDirPath(),
                         [this](const QString& account, const QString& password, bool remember) {
                             return StoreLegacyUser(account, password, remember);
                         });
}

// A legacy file is only deleted once all its accounts are stored, so a database
// that failed to open loses nothing.
bool Application::StoreLegacyUser(const QString& account, const QString& password, bool rememberPassword)
{
    DBManager::User user;
    user.account = account;
    user.password = password;
    user.rememberPassword = rememberPassword;
    user.updateTS = QDateTime::currentSecsSinceEpoch();
    return DBManager::instance()->InsertUser(user).ok();
}

void Application::OnAboutToAppStop()
{
    if (StartupVersionCheckRunning())
        *stopping_ = true;
    // Update checks and downloads of the update dialog end here too: the
    // transport they use is cleaned up further down the stop sequence.
    WaitForStartupVersionCheck();
}

void Application::OfferAutoUpdate()
{
    if (autoUpdateOffered_ || startupCheckResult_ != UpdateDialog::HasNewerVersion || !mainWindow_ ||
        !mainWindow_->isVisible())
        return;
    if (!config_->value(QStringLiteral("Application"), QStringLiteral("autoUpdate")).toBool())
        return;
    autoUpdateOffered_ = true;
    UpdateDialog::ShowNewVersion(config_, mainWindow_);
}

void Application::ShowPreferenceDialog()
{
    if (preferenceDialog_) {
        preferenceDialog_->activateWindow();
        preferenceDialog_->raise();
        return;
    }
    PreferenceDialog::Hooks hooks;
    hooks.initNetWorkManager = [this]() { return InitNetWorkManager(); };
    hooks.applyUploadSettings = [this]() { return ApplyUploadSettings(); };
    preferenceDialog_ = new PreferenceDialog(*config_, hooks, nullptr);
    preferenceDialog_->setAttribute(Qt::WA_DeleteOnClose);
    preferenceDialog_->SetToastWindow(mainWindow_);
    preferenceDialog_->show();
}

void Application::ShowUpdateDialog()
{
    UpdateDialog::ShowUpdateDialog(config_, mainWindow_);
}

// Service hooks: filled in as the database, accounts, upload manager, models,
// windows and update check are wired in.

void Application::OpenDatabase()
{
    // A database that fails to open leaves the client running without
    // remembered accounts and records; the failure is logged there.
    DBManager::instance()->Open(WorkDir() + QStringLiteral("/orv-upload-client.db"));
}

void Application::CreateAccountManager()
{
    accountManager_ = new AccountManager(this);
    // The command-line uploader must not drive the same account's uploads at once.
    accountManager_->setExclusive(true);
}

void Application::PushProxySettings(int type, const QString& host, uint port, const QString& user,
                                    const QString& password)
{
    SDKManager::instance()->SetProxy(type, host, static_cast<int>(port), user, password);
}

void Application::PushUploadSettings(int maxConcurrentUploads, bool autoStartUpload, int limitedSpeedKBps)
{
    SDKManager* manager = SDKManager::instance();
    manager->setMaxConcurrent(maxConcurrentUploads);
    manager->setAutoStart(autoStartUpload);
    manager->SetTrafficLimit(limitedSpeedKBps);
}

void Application::CreateModels()
{
    // Shared by every window for the whole run; deleted by the stop sequence
    // once their background tasks have ended.
    categoryTreeModel_ = new CategoryTreeModel(nullptr);
    videoTableModel_ = new VideoTableModel(categoryTreeModel_, nullptr);
}

void Application::ShowLoginDialog()
{
    loginDialog_ = new LoginDialog(nullptr);
    loginDialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(loginDialog_, &QObject::destroyed, this, [this]() { loginDialog_ = nullptr; });
    loginDialog_->show();
}

void Application::ConnectLoginSucceed()
{
    if (accountManager_)
        connect(accountManager_, &AccountManager::SignalLoginSucceed, this, &Application::ShowMainWindow);
}

void Application::ShowMainWindow()
{
    if (mainWindow_)
        return;
    mainWindow_ = new MainWindow(categoryTreeModel_, videoTableModel_, nullptr);
    mainWindow_->Init();
    if (desktop_)
        desktop_->AttachMainWindow(mainWindow_);
    connect(mainWindow_, &QObject::destroyed, this, [this]() { mainWindow_ = nullptr; });
    connect(mainWindow_->titleWidget(), &MainWindowTitleWidget::SignalOpenPreferences, this,
            &Application::ShowPreferenceDialog);
    connect(mainWindow_->titleWidget(), &MainWindowTitleWidget::SignalCheckForUpdates, this,
            &Application::ShowUpdateDialog);
    mainWindow_->show();
    OfferAutoUpdate();
}

void Application::StartStartupVersionCheck()
{
    startupCheck_ =
        UpdateDialog::StartCheckVersion(stopping_, [this](UpdateDialog::CheckVersionResult result) {
            startupCheckResult_ = result;
            startupCheck_.reset();
            emit SignalStartupLoadingFinish();
            OfferAutoUpdate();
        });
}

bool Application::StartupVersionCheckRunning() const
{
    return startupCheck_ != nullptr;
}

void Application::WaitForStartupVersionCheck()
{
    UpdateDialog::AbortAndWaitForWorkers();
}

void Application::DeleteWindows()
{
    delete desktop_;
    desktop_ = nullptr;
    delete loginDialog_;
    delete mainWindow_;
    delete preferenceDialog_;
    delete UpdateDialog::Current();
}

void Application::WaitForModelTasksAndDeleteModels()
{
    if (categoryTreeModel_)
        categoryTreeModel_->WaitForTasks();
    if (videoTableModel_) {
        videoTableModel_->WaitForTasks();
        delete videoTableModel_;
        videoTableModel_ = nullptr;
    }
    // The video model names its rows' categories from the tree: it goes first.
    delete categoryTreeModel_;
    categoryTreeModel_ = nullptr;
}

void Application::CloseDatabase()
{
    DBManager::Close();
}

void Application::ShutdownUploadManager()
{
    SDKManager::Destroy();
}
