#include "cli/uploadcli.h"

#include "account/accountmanager.h"
#include "api/apicollection.h"
#include "base/config.h"
#include "base/paths.h"
#include "cli/clireporter.h"
#include "cli/folderwatch.h"
#include "cli/uploadrun.h"
#include "platform/platform.h"
#include "storage/dbmanager.h"
#include "upload/transferstats.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QJsonObject>
#include <QTextStream>
#include <QUuid>

#include <cstdio>

namespace {

const QString kCliGroup = QStringLiteral("UploadCli");
const QString kAccountKey = QStringLiteral("account");

QString ReadStdinLine()
{
    QTextStream in(stdin);
    return in.readLine();
}

} // namespace

UploadCli::UploadCli(Config& config, QObject* parent) : QObject(parent), config_(config) {}

UploadCli::~UploadCli()
{
    run_.reset();
    UploadRun::Release();
    account_.reset();
}

void UploadCli::Error(const QString& text)
{
    if (reporter_) {
        reporter_->Event(QStringLiteral("error"), {{QStringLiteral("message"), text}},
                         QStringLiteral("orvane-upload: ") + text, true);
        if (!reporter_->json())
            return;
    }
    std::fprintf(stderr, "orvane-upload: %s\n", text.toLocal8Bit().constData());
}

int UploadCli::Run(const QStringList& arguments)
{
    QString error;
    if (!CliArgs::Parse(arguments, &args_, &error)) {
        Error(error);
        std::fprintf(stderr, "%s", CliArgs::Usage().toLocal8Bit().constData());
        return ExitUsage;
    }
    if (args_.command == CliArgs::Help) {
        std::printf("%s", CliArgs::Usage().toLocal8Bit().constData());
        return ExitOk;
    }
    if (args_.command == CliArgs::Version) {
        std::printf("orvane-upload %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return ExitOk;
    }
    reporter_ = std::make_unique<CliReporter>(args_.json || !platform::IsTerminal(platform::Stream::Out));
    ApplyOverrides();
    if (!DBManager::instance()->Open(WorkDir() + QStringLiteral("/orv-upload-client.db"))) {
        Error(tr("cannot open the database in %1").arg(WorkDir()));
        return ExitUsage;
    }
    UploadRun::ApplySettings(config_);
    platform::WatchInterrupt([this] { OnInterrupt(); });

    switch (args_.command) {
    case CliArgs::Login:
        return Login();
    case CliArgs::Logout:
        return Logout();
    case CliArgs::Upload:
        return Upload();
    case CliArgs::Resume:
        return Resume();
    case CliArgs::List:
        return List();
    case CliArgs::Delete:
        return Delete();
    case CliArgs::Watch:
        return Watch();
    default:
        return ExitUsage;
    }
}

void UploadCli::ApplyOverrides()
{
    if (!args_.apiUrl.isEmpty())
        config_.setOverride(QStringLiteral("Custom"), QStringLiteral("apiUrl"), args_.apiUrl);
    if (!args_.cacert.isEmpty())
        config_.setOverride(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"),
                            QFileInfo(args_.cacert).absoluteFilePath());
    CliProxy proxy;
    if (!args_.proxy.isEmpty() && CliProxy::Parse(args_.proxy, &proxy)) {
        const QString group = QStringLiteral("NetWorkManager");
        config_.setOverride(group, QStringLiteral("proxyType"), 1);
        config_.setOverride(group, QStringLiteral("proxyHostName"), proxy.host);
        config_.setOverride(group, QStringLiteral("proxyPort"), proxy.port);
        config_.setOverride(group, QStringLiteral("proxyUser"), proxy.user);
        config_.setOverride(group, QStringLiteral("proxyPassword"), proxy.password);
    }
}

QString UploadCli::RememberedAccount() const
{
    return config_.value(kCliGroup, kAccountKey).toString();
}

int UploadCli::Wait()
{
    waiting_ = true;
    const int code = loop_.exec();
    waiting_ = false;
    return code;
}

void UploadCli::Quit(int code)
{
    if (waiting_)
        loop_.exit(code);
}

void UploadCli::OnInterrupt()
{
    if (interrupted_)
        return;
    interrupted_ = true;
    qInfo() << "Interrupted";
    if (account_ && account_->loggingIn())
        account_->LoginCancel();
    if (run_) {
        run_->PauseAndStop();
        reporter_->Event(QStringLiteral("interrupted"), {},
                         tr("Interrupted: the uploads are paused; continue with \"orvane-upload resume\"."),
                         true);
    }
    Quit(ExitInterrupted);
}

int UploadCli::LoginWith(const QString& email, const QString& password)
{
    account_ = std::make_unique<AccountManager>();
    account_->setExclusive(true);
    QString failure;
    bool succeeded = false;
    connect(account_.get(), &AccountManager::SignalLoginSucceed, this, [&] {
        succeeded = true;
        Quit(ExitOk);
    });
    connect(account_.get(), &AccountManager::SignalLoginFailed, this, [&](const QString& text) {
        failure = text;
        Quit(ExitUsage);
    });
    account_->Login(email, password, true);
    const int code = Wait();
    account_->disconnect(this);
    if (interrupted_)
        return ExitInterrupted;
    if (code != ExitOk || !succeeded) {
        Error(tr("login failed: %1").arg(failure));
        return ExitUsage;
    }
    return ExitOk;
}

int UploadCli::Login()
{
    QString email = args_.email;
    if (email.isEmpty())
        email = RememberedAccount();
    if (email.isEmpty() && platform::IsTerminal(platform::Stream::In)) {
        std::fprintf(stderr, "%s", tr("E-mail: ").toLocal8Bit().constData());
        std::fflush(stderr);
        email = ReadStdinLine().trimmed();
    }
    if (email.isEmpty()) {
        Error(tr("no e-mail address given (use --email)"));
        return ExitUsage;
    }
    QString password;
    if (args_.passwordStdin) {
        password = ReadStdinLine();
    } else if (!platform::ReadSecret(tr("Password for %1: ").arg(email), &password)) {
        Error(tr("no terminal to ask for the password; use --password-stdin"));
        return ExitUsage;
    }
    const int code = LoginWith(email, password);
    password.fill(QLatin1Char('\0'));
    if (code != ExitOk)
        return code;
    config_.setValue(kCliGroup, kAccountKey, email);
    reporter_->Event(QStringLiteral("login"), {{QStringLiteral("account"), email}},
                     tr("Logged in as %1.").arg(email));
    return ExitOk;
}

int UploadCli::Logout()
{
    const QString email = RememberedAccount();
    if (email.isEmpty()) {
        reporter_->Event(QStringLiteral("logout"), {}, tr("Not logged in."));
        return ExitOk;
    }
    // Forget the password like an account logged in without "remember password".
    DBManager::User user;
    user.account = email;
    user.rememberPassword = false;
    user.updateTS = QDateTime::currentSecsSinceEpoch();
    DBManager::instance()->InsertUser(user);
    config_.remove(kCliGroup, kAccountKey);
    reporter_->Event(QStringLiteral("logout"), {{QStringLiteral("account"), email}},
                     tr("Logged out of %1.").arg(email));
    return ExitOk;
}

int UploadCli::StartSession()
{
    const QString email = args_.email.isEmpty() ? RememberedAccount() : args_.email;
    if (email.isEmpty()) {
        Error(tr("not logged in; run \"orvane-upload login\" first"));
        return ExitUsage;
    }
    const DBManager::Result<QList<DBManager::User>> users = DBManager::instance()->SelectUsers();
    if (!users) {
        Error(tr("cannot read the local database: %1").arg(users.message()));
        return ExitFailed;
    }
    QString password;
    bool found = false;
    for (const DBManager::User& user : users.value()) {
        if (user.account.compare(email, Qt::CaseInsensitive) == 0 && user.rememberPassword &&
            !user.password.isEmpty()) {
            password = user.password;
            found = true;
            break;
        }
    }
    if (!found) {
        Error(tr("no remembered password for %1; run \"orvane-upload login\" first").arg(email));
        return ExitUsage;
    }
    return LoginWith(email, password);
}

int UploadCli::RunUploads()
{
    if (!interrupted_ && !run_->finished()) {
        connect(run_.get(), &UploadRun::SignalFinished, this, [this] { Quit(ExitOk); });
        Wait();
    }
    if (interrupted_)
        return ExitInterrupted;
    run_->SaveProgress();
    // The last total stays above the summary.
    reporter_->KeepProgress();
    const auto& failures = run_->failures();
    reporter_->Event(
        QStringLiteral("summary"),
        {{QStringLiteral("completed"), run_->completed()}, {QStringLiteral("failed"), failures.size()}},
        tr("%1 uploaded, %2 failed.").arg(run_->completed()).arg(failures.size()));
    if (failures.isEmpty())
        return ExitOk;
    // The failures on stderr as well, whatever the output mode.
    for (const UploadRun::Failure& f : failures)
        std::fprintf(stderr, "%s\n", tr("failed: %1: %2").arg(f.file, f.reason).toLocal8Bit().constData());
    return ExitFailed;
}

int UploadCli::StartRun(AccountManager::PermissionFlags needed, const QString& refused, bool applyLimits)
{
    const int code = StartSession();
    if (code != ExitOk)
        return code;
    if (!account_->HasPermission(needed)) {
        Error(refused);
        return ExitUsage;
    }
    run_ = std::make_unique<UploadRun>(*reporter_);
    if (applyLimits)
        run_->Configure(args_.parallel, args_.limitKBps);
    return ExitOk;
}

int UploadCli::Upload()
{
    const int code = StartRun(AccountManager::VideoUpload, tr("this account may not upload videos"));
    if (code != ExitOk)
        return code;
    for (const QString& file : qAsConst(args_.positional)) {
        if (interrupted_)
            break;
        run_->Add(file, args_.cateId, args_.title, args_.tags);
    }
    return RunUploads();
}

int UploadCli::Resume()
{
    const int code = StartRun({}, QString());
    if (code != ExitOk)
        return code;
    // Resuming means running them, whatever the auto-start preference says.
    if (run_->Restore(true) == 0 && run_->failures().isEmpty()) {
        reporter_->Event(QStringLiteral("summary"),
                         {{QStringLiteral("completed"), 0}, {QStringLiteral("failed"), 0}},
                         tr("Nothing to resume."));
        return ExitOk;
    }
    return RunUploads();
}

int UploadCli::List()
{
    const QString email = args_.email.isEmpty() ? RememberedAccount() : args_.email;
    if (email.isEmpty()) {
        Error(tr("not logged in; run \"orvane-upload login\" first"));
        return ExitUsage;
    }
    DBManager* db = DBManager::instance();
    db->setAccount(email);
    // An unreadable database is an error, not an empty queue.
    const DBManager::Result<QList<DBManager::Upload>> queued = db->SelectUploads();
    const DBManager::Result<int> count = db->CountHistories();
    const DBManager::Result<QList<DBManager::History>> read =
        count ? db->SelectHistories(0, qMax(1, count.value())) : count.error();
    if (!queued || !read) {
        Error(tr("cannot read the local database: %1").arg(queued ? read.message() : queued.message()));
        return ExitFailed;
    }
    const QList<DBManager::Upload>& uploads = queued.value();
    reporter_->Event(QStringLiteral("list"), {{QStringLiteral("account"), email}},
                     tr("Queue of %1 (%2):").arg(email).arg(uploads.size()));
    for (const DBManager::Upload& u : uploads) {
        const int percent = u.totalBytes ? static_cast<int>(u.uploadBytes * 100 / u.totalBytes) : 0;
        reporter_->Event(QStringLiteral("queue"),
                         {{QStringLiteral("vid"), u.vid},
                          {QStringLiteral("file"), u.fileName},
                          {QStringLiteral("title"), u.titleName},
                          {QStringLiteral("uploaded"), static_cast<double>(u.uploadBytes)},
                          {QStringLiteral("total"), static_cast<double>(u.totalBytes)}},
                         QStringLiteral("  %1  %2%  %3").arg(u.vid).arg(percent, 3).arg(u.fileName));
    }
    const QList<DBManager::History>& history = read.value();
    reporter_->Event(QStringLiteral("list"), {}, tr("History (%1):").arg(history.size()));
    for (const DBManager::History& h : history) {
        const QString when = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(h.updateTS))
                                 .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        reporter_->Event(
            QStringLiteral("history"),
            {{QStringLiteral("vid"), h.vid},
             {QStringLiteral("file"), h.fileName},
             {QStringLiteral("title"), h.titleName},
             {QStringLiteral("size"), static_cast<qint64>(h.fileSize)},
             {QStringLiteral("status"), h.fileStatus},
             {QStringLiteral("time"), when}},
            QStringLiteral("  %1  %2  %3  %4  %5").arg(h.vid, when, FormatSize(static_cast<qint64>(h.fileSize)), h.fileStatus, h.fileName));
    }
    return ExitOk;
}

int UploadCli::Delete()
{
    // The queue, without starting anything, to find unfinished uploads.
    const int code = StartRun(AccountManager::VideoDelete, tr("this account may not delete videos"), false);
    if (code != ExitOk)
        return code;
    run_->Restore(false, false);
    int failed = 0;
    for (const QString& vid : qAsConst(args_.positional)) {
        const bool queued = run_->DeleteQueued(vid);
        if (interrupted_)
            return ExitInterrupted;
        ApiCollection::AbortFlag abort{false};
        const ApiCollection::Result<ApiCollection::ApiResult> result =
            ApiCollection::Parsed(ApiCollection::DeleteVideoRequest(QUuid::createUuid(), vid, &abort),
                                  ApiCollection::ParseDeleteVideoResponse);
        // An unfinished upload has no video on the platform yet.
        const bool notThere = result.code() == ApiCollection::ApiReturnFailed &&
                              result.error().envelope.errorCode == ApiCollection::VIDEO_NOT_EXIST;
        if (result || (queued && notThere)) {
            reporter_->Event(QStringLiteral("deleted"), {{QStringLiteral("vid"), vid}},
                             tr("Deleted %1.").arg(vid));
        } else {
            ++failed;
            const QString reason = ApiCollection::ErrorMessage(result.error());
            reporter_->Event(QStringLiteral("failed"),
                             {{QStringLiteral("vid"), vid}, {QStringLiteral("reason"), reason}},
                             tr("Failed: %1: %2").arg(vid, reason), true);
        }
    }
    return failed ? ExitFailed : ExitOk;
}

int UploadCli::Watch()
{
    const int code = StartRun(AccountManager::VideoUpload, tr("this account may not upload videos"));
    if (code != ExitOk)
        return code;
    // Uploads a previous watch left unfinished go on first.
    run_->Restore(true);
    FolderWatch watch(args_.positional.value(0), account_->account(), args_.cateId, args_.settleSeconds,
                      *run_, *reporter_);
    QString error;
    if (!watch.Start(&error)) {
        Error(error);
        return ExitUsage;
    }
    Wait();
    return ExitInterrupted;
}
