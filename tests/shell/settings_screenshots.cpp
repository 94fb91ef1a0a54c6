// Screenshots of the preferences (both pages) and of every page of the update
// dialog, against update services started in-process. Saves PNGs into the
// folder given as argument. Run from scripts/screenshots-settings (under Xvfb,
// beside the client's themes/ and translations/ folders).

#include "app/application.h"
#include "app/config.h"
#include "ui/resources.h"
#include "ui/shell/preferencedialog.h"
#include "ui/shell/updatedialog.h"
#include "updateenv.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <cstdio>

namespace {
const QString kCheckPath = QStringLiteral("/api/app/package/version/check");

bool Save(QWidget* widget, const QString& dir, const QString& name)
{
    QTest::qWait(150);
    const QString file = QDir(dir).filePath(name);
    const bool ok = widget->grab().save(file);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(file));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    updatetest::UseHome(home.path());
    QApplication app(argc, argv);
    InitOrvaneResources();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);
    QTranslator translator;
    if (translator.load(QCoreApplication::applicationDirPath() + QStringLiteral("/translations/zh_CN.qm")))
        QCoreApplication::installTranslator(&translator);
    app.setStyleSheet(Application::LoadQss(QStringLiteral("System.qss")) +
                      Application::LoadQss(QStringLiteral("TitleBar.qss")));

    orvtest::ServerFixture newer(updatetest::Offering(QStringLiteral("2.4.3")));
    orvtest::ServerFixture current(updatetest::Offering(QStringLiteral("2.4.2")));
    if (!newer.Start() || !current.Start()) {
        std::fprintf(stderr, "server failed: %s%s\n", qPrintable(newer.Error()), qPrintable(current.Error()));
        return 1;
    }
    const QString ca = updatetest::CaBundle(home.filePath(QStringLiteral("ca.pem")), {&newer, &current});
    Config config(home.filePath(QStringLiteral("global.ini")));
    config.RegisterDefaults();
    Config::SetGlobal(&config);
    config.setValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"), ca);
    config.setValue(QStringLiteral("UploadTaskManager"), QStringLiteral("limitedSpeedValue"), 2048);
    config.setValue(QStringLiteral("Application"), QStringLiteral("autoUpdate"), true);
    bool ok = true;

    {
        PreferenceDialog prefs(config, {});
        prefs.show();
        ok &= Save(&prefs, out, QStringLiteral("preferences-basic.png"));
        prefs.ShowTransferPage();
        ok &= Save(&prefs, out, QStringLiteral("preferences-transfer.png"));
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
        UpdateDialog dialog(&config);
        dialog.show();
        rule.pathPattern = kCheckPath;
        rule.latencyMs = 1500;
        const int id = current->AddFault(rule);
        dialog.StartCheck();
        ok &= Save(&dialog, out, QStringLiteral("update-checking.png"));
        ok &= waitState(dialog, UpdateDialog::UpToDate) &&
              Save(&dialog, out, QStringLiteral("update-up-to-date.png"));
        current->RemoveFault(id);
    }
    {
        useServer(newer);
        UpdateDialog dialog(&config);
        dialog.show();
        rule = {};
        rule.pathPattern = kCheckPath;
        rule.failNextN = 1;
        newer->AddFault(rule);
        dialog.StartCheck();
        ok &= waitState(dialog, UpdateDialog::CheckFailedPage) &&
              Save(&dialog, out, QStringLiteral("update-check-failed.png"));
        dialog.StartCheck();
        ok &= waitState(dialog, UpdateDialog::NewVersion) &&
              Save(&dialog, out, QStringLiteral("update-new-version.png"));

        rule = {};
        rule.pathPattern = QStringLiteral("^/files/installer/");
        rule.slowBodyBytesPerSec = 128 * 1024;
        const int slow = newer->AddFault(rule);
        dialog.findChild<QPushButton*>(QStringLiteral("updateButton"))->click();
        auto* info = dialog.findChild<QLabel*>(QStringLiteral("downloadInfoLabel"));
        (void)QTest::qWaitFor(
            [info] { return info->text().contains(QRegularExpression(QStringLiteral(">[3-9]\\d%<"))); },
            20000);
        ok &= Save(&dialog, out, QStringLiteral("update-downloading.png"));
        ok &= waitState(dialog, UpdateDialog::Install) &&
              Save(&dialog, out, QStringLiteral("update-install.png"));
        newer->RemoveFault(slow);

        rule = {};
        rule.pathPattern = QStringLiteral("^/files/installer/");
        rule.dropResponseAfterBytes = 100000;
        newer->AddFault(rule);
        dialog.findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        UpdateDialog again(&config);
        again.show();
        again.StartCheck();
        ok &= waitState(again, UpdateDialog::NewVersion);
        again.findChild<QPushButton*>(QStringLiteral("updateButton"))->click();
        ok &= waitState(again, UpdateDialog::DownloadFailed) &&
              Save(&again, out, QStringLiteral("update-download-failed.png"));
    }
    UpdateDialog::AbortAndWaitForWorkers();
    return ok ? 0 : 1;
}
