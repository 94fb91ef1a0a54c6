#pragma once
// The client side of the transfer tests: the shared client environment (data
// folder, settings, database, in-process platform server) whose Login gives
// a logged-in account with uploads through our upload library.

#include "../upload/testenv.h"
#include "ui/common/msgbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QTimer>

namespace transfertest {

using ClientEnv = orvtest::ClientEnv;

// Answers the next modal message box that shows up while it exists with `button`.
class MsgBoxAnswer : public QObject
{
public:
    explicit MsgBoxAnswer(QDialogButtonBox::StandardButton button)
    {
        connect(&timer_, &QTimer::timeout, this, [this, button] {
            auto* box = qobject_cast<MsgBox*>(QApplication::activeModalWidget());
            if (QAbstractButton* answer = box ? box->buttonBox()->button(button) : nullptr) {
                timer_.stop();
                answered_ = true;
                answer->click();
            }
        });
        timer_.start(20);
    }
    bool answered() const { return answered_; }

private:
    QTimer timer_;
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
