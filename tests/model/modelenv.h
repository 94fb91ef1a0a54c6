#pragma once
// What the models need around them in tests and benchmarks: the client
// environment of the upload tests (data folder, settings, database, platform
// server on loopback HTTPS) and an account manager to log in with.

#include "../upload/testenv.h"

#include "ui/common/shellservices.h"

#include <QList>
#include <QVariant>

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

class ModelEnv : public ClientEnv
{
public:
    ~ModelEnv() { Stop(); }

    bool Start(QString* error)
    {
        if (!ClientEnv::Start(error))
            return false;
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
        ClientEnv::Stop();
    }

    AccountManager& account() { return *account_; }

    // What the library windows are built with: this environment around the models.
    ShellServices Services(CategoryTreeModel* categories, VideoTableModel* videos)
    {
        ShellServices services;
        services.config = &config();
        services.accounts = account_.get();
        services.uploads = SDKManager::instance();
        services.database = DBManager::instance();
        services.categories = categories;
        services.videos = videos;
        return services;
    }

private:
    std::unique_ptr<AccountManager> account_;
};

} // namespace orvtest
