#pragma once
// A client environment for the account and upload tests: a data folder of
// its own, a settings file, the database, and the platform server running
// in-process on loopback HTTPS.

#include "account/accountmanager.h"
#include "base/config.h"
#include "storage/dbmanager.h"
#include "upload/sdkmanager.h"

#include "testsupport.h"
#include <orvsrv/platform_server.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <curl/curl.h>

#include <memory>

namespace orvtest {

// Logs in and waits for the outcome; returns the failure text, or a null string on success.
inline QString LoginAndWait(AccountManager& manager, const QString& email, const QString& password,
                            bool remember, bool* succeeded, int timeoutMs = 30000)
{
    QSignalSpy ok(&manager, &AccountManager::SignalLoginSucceed);
    QSignalSpy failed(&manager, &AccountManager::SignalLoginFailed);
    manager.Login(email, password, remember);
    (void)QTest::qWaitFor([&] { return ok.count() + failed.count() > 0; }, timeoutMs);
    *succeeded = ok.count() == 1 && failed.isEmpty();
    if (!failed.isEmpty())
        return failed.first().first().toString();
    return ok.isEmpty() ? QStringLiteral("timed out") : QString();
}

// The status of the queued upload `vid`, or -1 when it is not queued.
inline int StatusOf(const QString& vid)
{
    const SharedUploadTaskPtr task = SDKManager::instance()->task(vid);
    return task ? int(task->status()) : -1;
}

class ClientEnv
{
public:
    ClientEnv() = default;
    ~ClientEnv() { Stop(); }

    bool Start(QString* error)
    {
        if (!dir_.isValid()) {
            *error = QStringLiteral("no temporary folder");
            return false;
        }
        // The data folder (database, library cache, logs) goes below the temporary folder.
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir_.filePath(QStringLiteral("data"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath(QStringLiteral("config"))));
        curl_global_init(CURL_GLOBAL_ALL);

        orvsrv::ServerOptions options;
        options.dataDir = dir_.filePath(QStringLiteral("server"));
        options.seed = QStringLiteral("demo");
        options.lockoutSeconds = 60;
        server_ = std::make_unique<orvsrv::PlatformServer>(options);
        if (!server_->Start(error))
            return false;

        config_ = std::make_unique<Config>(dir_.filePath(QStringLiteral("global.ini")));
        config_->RegisterDefaults();
        Config::SetGlobal(config_.get());
        config_->setValue(QStringLiteral("Custom"), QStringLiteral("apiUrl"), server_->BaseUrl());
        config_->setValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"),
                          server_->CaFile());

        return OpenDatabase();
    }

    bool OpenDatabase()
    {
        return DBManager::instance()->Open(dir_.filePath(QStringLiteral("client.db"))).ok();
    }

    // Logs the demo account in; the account manager initialises the upload
    // library and sets the database's account.
    bool Login(QString* error)
    {
        accounts_ = std::make_unique<AccountManager>();
        bool ok = false;
        const QString failure = LoginAndWait(*accounts_, QString::fromLatin1(orvsrv::kDemoMainEmail),
                                             QString::fromLatin1(orvsrv::kDemoPassword), false, &ok);
        if (!ok)
            *error = failure;
        return ok;
    }

    void Stop()
    {
        SDKManager::Destroy();
        DBManager::Close();
        if (server_)
            server_->Stop();
        server_.reset();
        if (config_ && Config::Global() == config_.get())
            Config::SetGlobal(nullptr);
        config_.reset();
        accounts_.reset();
    }

    orvsrv::PlatformServer& server() { return *server_; }
    Config& config() { return *config_; }
    AccountManager& accounts() { return *accounts_; }
    QString path(const QString& name) const { return dir_.filePath(name); }

    // A file of `size` pseudo-random bytes; the same seed gives the same content.
    QString MakeFile(const QString& name, qint64 size, quint32 seed)
    {
        return orvtest::WriteRandomFile(dir_.filePath(QStringLiteral("files/") + name), size, seed);
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<orvsrv::PlatformServer> server_;
    std::unique_ptr<Config> config_;
    std::unique_ptr<AccountManager> accounts_;
};

} // namespace orvtest
