// Screenshots of the preferences (both pages) and of every page of the
// update dialog, against update services started in-process.

#include "shots.h"
#include "updateenv.h"

#include "base/config.h"
#include "ui/shell/preferencedialog.h"
#include "ui/shell/updatedialog.h"
#include "upload/sdkmanager.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kCheckPath = QStringLiteral("/api/app/package/version/check");
} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    updatetest::UseHome(home.path());
    Shots shots(argc, argv);

    orvtest::ServerFixture newer(updatetest::Offering(QStringLiteral("2.4.3")));
    orvtest::ServerFixture current(updatetest::Offering(QStringLiteral("2.4.2")));
    if (!newer.Start() || !current.Start())
        return Shots::Fail("server", newer.Error() + current.Error());
    const QString ca = updatetest::CaBundle(home.filePath(QStringLiteral("ca.pem")), {&newer, &current});
    Config config(home.filePath(QStringLiteral("global.ini")));
    config.RegisterDefaults();
    Config::SetGlobal(&config);
    config.setValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"), ca);
    config.setValue(QStringLiteral("UploadTaskManager"), QStringLiteral("limitedSpeedValue"), 2048);
    config.setValue(QStringLiteral("Application"), QStringLiteral("autoUpdate"), true);

    {
        PreferenceDialog prefs(config, SDKManager::instance());
        prefs.show();
        shots.Save(&prefs, QStringLiteral("preferences-basic.png"));
        prefs.ShowTransferPage();
        shots.Save(&prefs, QStringLiteral("preferences-transfer.png"));
    }

    auto useServer = [&config](orvtest::ServerFixture& server) {
        config.setValue(QStringLiteral("Custom"), QStringLiteral("updateUrl"), server.BaseUrl() + kCheckPath);
    };
    auto waitState = [](UpdateDialog& d, int state) {
        return QTest::qWaitFor([&d, state] { return d.State() == state; }, 20000);
    };
    orvsrv::FaultRule rule;
    {
        useServer(current);
        UpdateDialog dialog(&config, SDKManager::instance());
        dialog.show();
        rule.pathPattern = kCheckPath;
        rule.latencyMs = 1500;
        const int id = current->AddFault(rule);
        dialog.StartCheck();
        shots.Save(&dialog, QStringLiteral("update-checking.png"));
        if (shots.Reached(waitState(dialog, UpdateDialog::UpToDate), "UpToDate"))
            shots.Save(&dialog, QStringLiteral("update-up-to-date.png"));
        current->RemoveFault(id);
    }
    {
        useServer(newer);
        UpdateDialog dialog(&config, SDKManager::instance());
        dialog.show();
        rule = {};
        rule.pathPattern = kCheckPath;
        rule.failNextN = 1;
        newer->AddFault(rule);
        dialog.StartCheck();
        if (shots.Reached(waitState(dialog, UpdateDialog::CheckFailedPage), "CheckFailedPage"))
            shots.Save(&dialog, QStringLiteral("update-check-failed.png"));
        dialog.StartCheck();
        if (shots.Reached(waitState(dialog, UpdateDialog::NewVersion), "NewVersion"))
            shots.Save(&dialog, QStringLiteral("update-new-version.png"));

        rule = {};
        rule.pathPattern = QStringLiteral("^/files/installer/");
        rule.slowBodyBytesPerSec = 128 * 1024;
        const int slow = newer->AddFault(rule);
        dialog.findChild<QPushButton*>(QStringLiteral("updateButton"))->click();
        auto* info = dialog.findChild<QLabel*>(QStringLiteral("downloadInfoLabel"));
        (void)QTest::qWaitFor(
            [info] { return info->text().contains(QRegularExpression(QStringLiteral(">[3-9]\\d%<"))); },
            20000);
        shots.Save(&dialog, QStringLiteral("update-downloading.png"));
        if (shots.Reached(waitState(dialog, UpdateDialog::Install), "Install"))
            shots.Save(&dialog, QStringLiteral("update-install.png"));
        newer->RemoveFault(slow);

        rule = {};
        rule.pathPattern = QStringLiteral("^/files/installer/");
        rule.dropResponseAfterBytes = 100000;
        newer->AddFault(rule);
        dialog.findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        UpdateDialog again(&config, SDKManager::instance());
        again.show();
        again.StartCheck();
        shots.Reached(waitState(again, UpdateDialog::NewVersion), "NewVersion");
        again.findChild<QPushButton*>(QStringLiteral("updateButton"))->click();
        if (shots.Reached(waitState(again, UpdateDialog::DownloadFailed), "DownloadFailed"))
            shots.Save(&again, QStringLiteral("update-download-failed.png"));
    }
    UpdateDialog::AbortAndWaitForWorkers();
    return shots.ExitCode();
}
