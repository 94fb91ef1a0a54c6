#pragma once
// What the category model needs around it in tests and benchmarks: the
// platform server on loopback HTTPS, a settings file pointing at it, the
// database and a logged-in account manager, all in a temporary folder.

#include "account/accountmanager.h"
#include "base/config.h"
#include "serverfixture.h"
#include "storage/dbmanager.h"
#include "upload/sdkmanager.h"

#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <curl/curl.h>

#include <memory>

namespace orvtest {

// Records a signal like QSignalSpy, but receives it queued on the test's
// thread, as the application's receivers do: the model's work emits from
// pool threads, and QSignalSpy would record there, beside the test reading.
class QueuedSpy : public QObject
{
public:
    template <typename Sender, typename... Args> QueuedSpy(Sender* sender, void (Sender::*signal)(Args...))
    {
        connect(sender, signal, this,
                [this](Args... args) { calls_.append(QVariantList{QVariant::fromValue(args)...}); });
    }
    int count() const { return calls_.size(); }
    bool isEmpty() const { return calls_.isEmpty(); }
    const QVariantList& at(int i) const { return calls_.at(i); }
    const QVariantList& first() const { return calls_.first(); }
    const QVariantList& last() const { return calls_.last(); }
    QList<QVariantList>::const_iterator begin() const { return calls_.cbegin(); }
    QList<QVariantList>::const_iterator end() const { return calls_.cend(); }
    // True when one more call arrived within the time.
    bool wait(int timeoutMs = 5000)
    {
        const int before = calls_.size();
        return QTest::qWaitFor([&] { return calls_.size() > before; }, timeoutMs);
    }

private:
    QList<QVariantList> calls_;
};

class ModelEnv
{
public:
    ~ModelEnv() { Stop(); }

    bool Start(QString* error)
    {
        if (!dir_.isValid()) {
            *error = QStringLiteral("no temporary folder");
            return false;
        }
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir_.filePath(QStringLiteral("data"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath(QStringLiteral("config"))));
        curl_global_init(CURL_GLOBAL_ALL);
        server_ = std::make_unique<ServerFixture>();
        if (!server_->Start()) {
            *error = server_->Error();
            return false;
        }
        config_ = std::make_unique<Config>(dir_.filePath(QStringLiteral("global.ini")));
        config_->RegisterDefaults();
        Config::SetGlobal(config_.get());
        config_->setValue(QStringLiteral("Custom"), QStringLiteral("apiUrl"), server_->BaseUrl());
        config_->setValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"),
                          server_->CaFile());
        if (!DBManager::instance()->Open(dir_.filePath(QStringLiteral("client.db")))) {
            *error = QStringLiteral("database did not open");
            return false;
        }
        account_ = std::make_unique<AccountManager>();
        return true;
    }

    // Logs in through the account manager; returns the failure text, empty on success.
    QString Login(const QString& email, const QString& password = QString::fromLatin1(orvsrv::kDemoPassword))
    {
        QueuedSpy ok(account_.get(), &AccountManager::SignalLoginSucceed);
        QueuedSpy failed(account_.get(), &AccountManager::SignalLoginFailed);
        account_->Login(email, password, false);
        if (!QTest::qWaitFor([&] { return ok.count() + failed.count() > 0; }, 30000))
            return QStringLiteral("login timed out");
        return failed.isEmpty() ? QString() : failed.first().first().toString();
    }

    void Stop()
    {
        account_.reset();
        SDKManager::Destroy();
        DBManager::Close();
        if (server_)
            server_->Stop();
        server_.reset();
        if (config_ && Config::Global() == config_.get())
            Config::SetGlobal(nullptr);
        config_.reset();
    }

    orvsrv::PlatformServer& server() { return server_->Server(); }
    AccountManager& account() { return *account_; }

private:
    QTemporaryDir dir_;
    std::unique_ptr<ServerFixture> server_;
    std::unique_ptr<Config> config_;
    std::unique_ptr<AccountManager> account_;
};

} // namespace orvtest
