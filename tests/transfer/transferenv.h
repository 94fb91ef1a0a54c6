#pragma once
// The client side of the transfer tests: the shared client environment (data
// folder, settings, database, in-process platform server) plus a logged-in
// account whose uploads go through our upload library.

#include "../upload/testenv.h"
#include "ui/common/msgbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QTimer>

namespace transfertest {

class ClientEnv : public orvtest::ClientEnv
{
public:
    ~ClientEnv() { Stop(); }

    // Logs the demo account in; the account manager initialises the upload
    // library and sets the database's account.
    bool Login(QString* error)
    {
        accounts_ = std::make_unique<AccountManager>();
        bool ok = false;
        const QString failure = orvtest::LoginAndWait(*accounts_, QString::fromLatin1(orvsrv::kDemoMainEmail),
                                                      QString::fromLatin1(orvsrv::kDemoPassword), false, &ok);
        if (!ok)
            *error = failure;
        return ok;
    }

    void Stop()
    {
        orvtest::ClientEnv::Stop();
        accounts_.reset();
    }

    AccountManager& accounts() { return *accounts_; }

private:
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
