#include "app/application.h"

#include "account/accountmanager.h"
#include "app/legacyaccounts.h"
#include "base/config.h"
#include "base/paths.h"
#include "base/version.h"
#include "model/categorytreemodel.h"
#include "model/videotablemodel.h"
#include "storage/dbmanager.h"
#include "ui/common/theme.h"
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

Application::Application(Config& config, int& argc, char** argv) : QApplication(argc, argv)
{
    services_.config = &config;
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
    setStyleSheet(Theme::Load({QStringLiteral("System.qss"), QStringLiteral("TitleBar.qss")}));
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
    services_.config->RegisterDefaults();

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
    services_.uploads = SDKManager::instance();
    services_.uploads->ApplySettings(*services_.config);
    CreateModels();
    desktop_ = new DesktopShell(*services_.config, services_.uploads, this);
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
    return services_.database->InsertUser(user).ok();
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
    if (!services_.config->value(QStringLiteral("Application"), QStringLiteral("autoUpdate")).toBool())
        return;
    autoUpdateOffered_ = true;
    UpdateDialog::ShowNewVersion(services_.config, services_.uploads, mainWindow_);
}

void Application::ShowPreferenceDialog()
{
    if (preferenceDialog_) {
        preferenceDialog_->activateWindow();
        preferenceDialog_->raise();
        return;
    }
    preferenceDialog_ = new PreferenceDialog(*services_.config, services_.uploads, nullptr);
    preferenceDialog_->setAttribute(Qt::WA_DeleteOnClose);
    preferenceDialog_->SetToastWindow(mainWindow_);
    preferenceDialog_->show();
}

void Application::ShowUpdateDialog()
{
    UpdateDialog::ShowUpdateDialog(services_.config, services_.uploads, mainWindow_);
}

void Application::OpenDatabase()
{
    // A database that fails to open leaves the client running without
    // remembered accounts and records; the failure is logged there.
    services_.database = DBManager::instance();
    services_.database->Open(WorkDir() + QStringLiteral("/orv-upload-client.db"));
}

void Application::CreateAccountManager()
{
    services_.accounts = new AccountManager(this);
    // The command-line uploader must not drive the same account's uploads at once.
    services_.accounts->setExclusive(true);
}

void Application::CreateModels()
{
    // Shared by every window for the whole run; deleted by the stop sequence
    // once their background tasks have ended.
    services_.categories = new CategoryTreeModel(nullptr);
    services_.videos = new VideoTableModel(services_.categories, nullptr);
}

void Application::ShowLoginDialog()
{
    loginDialog_ = new LoginDialog(services_, nullptr);
    loginDialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(this, &Application::SignalStartupLoadingFinish, loginDialog_,
            &LoginDialog::OnStartupLoadingFinish);
    connect(loginDialog_, &QObject::destroyed, this, [this]() { loginDialog_ = nullptr; });
    loginDialog_->show();
}

void Application::ConnectLoginSucceed()
{
    connect(services_.accounts, &AccountManager::SignalLoginSucceed, this, &Application::ShowMainWindow);
}

void Application::ShowMainWindow()
{
    if (mainWindow_)
        return;
    mainWindow_ = new MainWindow(services_, nullptr);
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
    if (services_.categories)
        services_.categories->WaitForTasks();
    if (services_.videos) {
        services_.videos->WaitForTasks();
        delete services_.videos;
        services_.videos = nullptr;
    }
    // The video model names its rows' categories from the tree: it goes first.
    delete services_.categories;
    services_.categories = nullptr;
}

void Application::CloseDatabase()
{
    services_.database = nullptr;
    DBManager::Close();
}

void Application::ShutdownUploadManager()
{
    services_.uploads = nullptr;
    SDKManager::Destroy();
}
