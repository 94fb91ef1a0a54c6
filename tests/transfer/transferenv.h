#pragma once
// The client side of the transfer tests: a data folder of its own, settings,
// the database, the platform server in-process on loopback HTTPS, and a
// logged-in account whose uploads go through our upload library.

#include "account/accountmanager.h"
#include "app/config.h"
#include "storage/dbmanager.h"
#include "ui/common/msgbox.h"
#include "upload/sdkmanager.h"

#include <orvsrv/platform_server.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include "testsupport.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <curl/curl.h>

#include <memory>

namespace transfertest {

class ClientEnv
{
public:
    ~ClientEnv() { Stop(); }

    bool Start(QString* error)
    {
        if (!dir_.isValid()) {
            *error = QStringLiteral("no temporary folder");
            return false;
        }
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir_.filePath(QStringLiteral("data"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath(QStringLiteral("config"))));
        curl_global_init(CURL_GLOBAL_ALL);

        orvsrv::ServerOptions options;
        options.dataDir = dir_.filePath(QStringLiteral("server"));
        options.seed = QStringLiteral("demo");
        server_ = std::make_unique<orvsrv::PlatformServer>(options);
        if (!server_->Start(error))
            return false;

        config_ = std::make_unique<Config>(dir_.filePath(QStringLiteral("global.ini")));
        config_->RegisterDefaults();
        Config::SetGlobal(config_.get());
        config_->setValue(QStringLiteral("Custom"), QStringLiteral("apiUrl"), server_->BaseUrl());
        config_->setValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"),
                          server_->CaFile());
        return DBManager::instance()->Open(dir_.filePath(QStringLiteral("client.db")));
    }

    // Logs the demo account in; the account manager initialises the upload
    // library and sets the database's account.
    bool Login(QString* error)
    {
        accounts_ = std::make_unique<AccountManager>();
        QSignalSpy ok(accounts_.get(), &AccountManager::SignalLoginSucceed);
        QSignalSpy failed(accounts_.get(), &AccountManager::SignalLoginFailed);
        accounts_->Login(QString::fromLatin1(orvsrv::kDemoMainEmail),
                         QString::fromLatin1(orvsrv::kDemoPassword), false);
        if (!QTest::qWaitFor([&] { return ok.count() + failed.count() > 0; }, 30000)) {
            *error = QStringLiteral("login timed out");
            return false;
        }
        if (ok.count() == 1)
            return true;
        *error = failed.isEmpty() ? QStringLiteral("login timed out") : failed.first().first().toString();
        return false;
    }

    void Stop()
    {
        SDKManager::instance()->Shutdown();
        SDKManager::Destroy();
        DBManager::Close();
        accounts_.reset();
        if (server_)
            server_->Stop();
        server_.reset();
        if (config_ && Config::Global() == config_.get())
            Config::SetGlobal(nullptr);
        config_.reset();
    }

    orvsrv::PlatformServer& server() { return *server_; }
    Config& config() { return *config_; }
    AccountManager& accounts() { return *accounts_; }
    QString path(const QString& name) const { return dir_.filePath(name); }

    // A file of `size` pseudo-random bytes in a folder of the test.
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

// Answers the next modal message box with `button` once it shows up; gives
// up after about four seconds.
class MsgBoxAnswer : public QObject
{
public:
    MsgBoxAnswer(QDialogButtonBox::StandardButton button) : button_(button)
    {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start();
    }
    bool answered() const { return answered_; }

private:
    void Poll()
    {
        auto* box = qobject_cast<MsgBox*>(QApplication::activeModalWidget());
        if (box && box->buttonBox()->button(button_)) {
            answered_ = true;
            timer_.stop();
            box->buttonBox()->button(button_)->click();
        } else if (++tries_ > 200) {
            timer_.stop();
        }
    }

    QDialogButtonBox::StandardButton button_;
    QTimer timer_;
    int tries_ = 0;
    bool answered_ = false;
};

// Removes every upload and every history record of the account.
inline bool ResetQueue(int timeoutMs = 20000)
{
    SDKManager* sdk = SDKManager::instance();
    sdk->DeleteAllTasks();
    const bool empty = QTest::qWaitFor([sdk] { return sdk->tasks().isEmpty(); }, timeoutMs);
    DBManager::instance()->DeleteHistories(true);
    return empty;
}

} // namespace transfertest
