// The shared widgets and the network settings dialog, on the offscreen platform.

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

#include "base/config.h"
#include "platform/platform.h"
#include "shelltest.h"
#include "ui/common/droptouploadeventfilter.h"
#include "ui/common/msgbox.h"
#include "ui/common/statusbutton.h"
#include "ui/common/titlebar.h"
#include "ui/common/toast.h"
#include "ui/resources.h"
#include "ui/shell/netsettingsdialog.h"
#include "upload/sdkmanager.h"

class TstShellWidgets : public QObject
{
    Q_OBJECT
    QTemporaryDir dir_;
    std::unique_ptr<Config> config_;

private slots:
    void initTestCase()
    {
        InitOrvaneResources();
        QVERIFY(dir_.isValid());
        config_ = std::make_unique<Config>(dir_.filePath(QStringLiteral("global.ini")));
        config_->RegisterDefaults();
        Config::SetGlobal(config_.get());
    }
    void cleanupTestCase()
    {
        Config::SetGlobal(nullptr);
        config_.reset();
    }

    void toastOverHiddenParentIsNotShown()
    {
        QWidget parent;
        MessageCapture log;
        QVERIFY(!ShowToastInParent(&parent, QStringLiteral("hidden")));
        QCOMPARE(parent.findChildren<Toast*>().size(), 0);
        QCOMPARE(log.Count(QtDebugMsg, QStringLiteral("ShowToastInParent parent is invisible, parent:")), 1);
    }

    void toastFadesAndIsGoneAfterTwoAndAHalfSeconds()
    {
        QWidget parent;
        parent.resize(400, 300);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QElapsedTimer clock;
        clock.start();
        QPointer<Toast> toast = ShowToastInParent(&parent, QStringLiteral("saved"), 0, Qt::AlignCenter, true);
        QVERIFY(toast && toast->isVisible());
        QTest::qWait(1500);
        QVERIFY2(toast && toast->isVisible(), "the toast must stay for its waiting time");
        QCOMPARE(toast->windowOpacity(), 1.0);
        QTRY_VERIFY_WITH_TIMEOUT(toast.isNull(), 4000);
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= Toast::kWaitMs + Toast::kFadeMs - 100 && elapsed < 3500,
                 qPrintable(QString::number(elapsed)));
    }

    void toastPlacementFollowsAlignment()
    {
        const QRect parent(100, 200, 600, 400);
        const QSize toast(200, 40);
        // 160 = AlignTop | AlignVCenter: horizontally centred, at the top edge.
        const QPoint top = Toast::PlaceInRect(parent, toast, Qt::AlignTop | Qt::AlignVCenter);
        QCOMPARE(top.x(), 100 + (600 - 200) / 2);
        QVERIFY(top.y() >= 200 && top.y() < 200 + 40);
        QCOMPARE(Toast::PlaceInRect(parent, toast, Qt::AlignCenter), QPoint(300, 380));
        const QPoint corner = Toast::PlaceInRect(parent, toast, Qt::AlignRight | Qt::AlignBottom);
        QVERIFY(corner.x() + toast.width() <= 700 && corner.x() + toast.width() > 700 - 40);
        QVERIFY(corner.y() + toast.height() <= 600 && corner.y() + toast.height() > 600 - 40);
    }

    // Plain text is not offered to the target at all; a URL list without URLs
    // passes the drag but is refused at the drop; files are handed over.
    void dropToUpload_data()
    {
        QTest::addColumn<bool>("uriList");
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<bool>("entered");
        QTest::newRow("plain text") << false << QList<QUrl>() << false;
        QTest::newRow("empty URL list") << true << QList<QUrl>() << true;
        QTest::newRow("files") << true
                               << QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/a.mp4")),
                                              QUrl::fromLocalFile(QStringLiteral("/tmp/b.mov"))}
                               << true;
    }
    void dropToUpload()
    {
        QFETCH(bool, uriList);
        QFETCH(QList<QUrl>, urls);
        QFETCH(bool, entered);
        QWidget target;
        QList<QUrl> received;
        int calls = 0;
        new DropToUploadEventFilter(&target, [&](const QList<QUrl>& u) { received = u, ++calls; });
        QVERIFY(target.acceptDrops());
        QMimeData data;
        data.setText(QStringLiteral("just some text"));
        if (uriList)
            data.setData(QStringLiteral("text/uri-list"), QByteArray());
        if (!urls.isEmpty())
            data.setUrls(urls);
        MessageCapture log;
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(&target, &enter);
        QCOMPARE(enter.isAccepted(), entered);
        if (!entered)
            return;
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &drop);
        QCOMPARE(calls, urls.isEmpty() ? 0 : 1);
        QCOMPARE(received, urls);
        QCOMPARE(log.Count(QtWarningMsg, QStringLiteral("mimeData hasUrls() is false")),
                 urls.isEmpty() ? 1 : 0);
        QCOMPARE(log.Count(QtWarningMsg, QStringLiteral("just some text")), urls.isEmpty() ? 1 : 0);
    }

    void explorerSelectsWithTwoArguments_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        QTest::newRow("spaces") << "C:/Users/Jane Doe/My Videos/export 1.csv"
                                << "C:\\Users\\Jane Doe\\My Videos\\export 1.csv";
        QTest::newRow("native already") << "D:\\vids.txt"
                                        << "D:\\vids.txt";
        QTest::newRow("comma and CJK")
            << QStringLiteral("E:/导出/a,b.csv") << QStringLiteral("E:\\导出\\a,b.csv");
    }
    void explorerSelectsWithTwoArguments()
    {
        QFETCH(QString, path);
        QFETCH(QString, shown);
        QCOMPARE(platform::ExplorerSelectArguments(path), (QStringList{QStringLiteral("/select,"), shown}));
    }

    void titleBarMaximiseStoresNormalGeometry()
    {
        QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                                    Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
        auto* layout = new QVBoxLayout(&window);
        auto* bar = new TitleBar(&window);
        bar->SetSizeGripEnabled(true);
        layout->addWidget(bar);
        layout->addStretch(1);
        window.setGeometry(50, 60, 420, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(bar->minimumBtn()->isVisible() && bar->maximumBtn()->isVisible());
        const QRect normal = window.geometry();

        bar->maximumBtn()->click();
        QTRY_VERIFY(window.isMaximized());
        QCOMPARE(window.property("windowNormalGeometry").toRect(), normal);
        QCOMPARE(bar->maximumBtn()->toolTip(), QStringLiteral("Restore"));
        // A double click on the bar restores.
        QTest::mouseDClick(bar->titleLabel(), Qt::LeftButton);
        QTRY_VERIFY(!window.isMaximized());
        QCOMPARE(bar->maximumBtn()->toolTip(), QStringLiteral("Maximum"));
        QVERIFY(!bar->maximumBtn()->isChecked());
        // The size grip follows the bottom-right corner.
        window.resize(500, 360);
        auto* grip = Child<QWidget>(&window, "sizeGrip");
        QVERIFY(grip);
        QCOMPARE(grip->geometry().bottomRight(), window.rect().bottomRight());

        // A window without the hints shows no such buttons.
        QWidget dialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
        auto* dialogBar = new TitleBar(&dialog);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(!dialogBar->minimumBtn()->isVisible() && !dialogBar->maximumBtn()->isVisible());
    }

    // The icon form carries its two texts as tooltips (the text form is
    // exercised by the transfer page).
    void statusButtonTooltipFollowsCheckState()
    {
        StatusButton tip(nullptr, QStringLiteral("playBtn"), QStringLiteral("Play"), QStringLiteral("Pause"),
                         QSize(24, 24), true);
        QVERIFY(tip.text().isEmpty());
        QCOMPARE(tip.toolTip(), QStringLiteral("Play"));
        tip.click();
        QCOMPARE(tip.toolTip(), QStringLiteral("Pause"));
    }

    void msgBoxReturnsClickedButtonAndMarksType()
    {
        {
            MsgBoxAnswer cancel(QDialogButtonBox::Cancel);
            QCOMPARE(MsgBox::warning(nullptr, QString(), QStringLiteral("Leave?"),
                                     QDialogButtonBox::Ok | QDialogButtonBox::Cancel),
                     int(QDialogButtonBox::Cancel));
            QCOMPARE(cancel.title, QStringLiteral("MsgBox.DefaultTitle"));
            QCOMPARE(cancel.buttonTypes, QStringList({QStringLiteral("Warning"), QStringLiteral("Warning")}));
        }
        MsgBoxAnswer ok(QDialogButtonBox::Ok);
        QCOMPARE(MsgBox::information(nullptr, QStringLiteral("SystemTip"), QStringLiteral("Done"),
                                     QDialogButtonBox::Ok | QDialogButtonBox::Cancel),
                 int(QDialogButtonBox::Ok));
        QCOMPARE(ok.title, QStringLiteral("SystemTip"));
    }

    // A blank host is refused with a toast and nothing stored; a full proxy is
    // stored trimmed and shown again by the next dialog; no proxy removes it.
    void netSettingsApply_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("blank host") << "   ";
        QTest::newRow("proxy") << "  127.0.0.1 ";
    }
    void netSettingsApply()
    {
        QFETCH(QString, host);
        const QString g = QStringLiteral("NetWorkManager");
        config_->remove(g);
        NetSettingsDialog dialog(*config_, SDKManager::instance());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* address = Child<QLineEdit>(&dialog, "addressLineedit");
        QVERIFY(!address->isEnabled());
        Child<QComboBox>(&dialog, "proxyTypeComboBox")->setCurrentIndex(1);
        QVERIFY(address->isEnabled());
        address->setText(host);
        auto* port = Child<QLineEdit>(&dialog, "portLineedit");
        // The validator keeps the port within 0..65535.
        QTest::keyClicks(port, QStringLiteral("65536"));
        QCOMPARE(port->text(), QStringLiteral("6553"));
        port->clear();
        QTest::keyClicks(port, QStringLiteral("8888"));
        Child<QLineEdit>(&dialog, "usernameLineedit")->setText(QStringLiteral("proxyuser"));
        Child<QLineEdit>(&dialog, "passwordLineedit")->setText(QStringLiteral("secret"));
        dialog.OnApply();
        if (host.trimmed().isEmpty()) {
            QVERIFY(dialog.isVisible() && dialog.result() != QDialog::Accepted);
            QVERIFY(!config_->contains(g, QStringLiteral("proxyType")));
            const QList<Toast*> toasts = Child<QWidget>(&dialog, "settingsWidget")->findChildren<Toast*>();
            QCOMPARE(toasts.size(), 1);
            QCOMPARE(Child<QLabel>(toasts.first(), "msg")->text(),
                     QStringLiteral("NetSettingsDialog.HostIsEmpty!"));
            return;
        }
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(config_->value(g, QStringLiteral("proxyType")).toInt(), 1);
        QCOMPARE(config_->value(g, QStringLiteral("proxyHostName")).toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(config_->value(g, QStringLiteral("proxyPort")).toUInt(), 8888u);
        QCOMPARE(config_->value(g, QStringLiteral("proxyUser")).toString(), QStringLiteral("proxyuser"));
        QCOMPARE(config_->value(g, QStringLiteral("proxyPassword")).toString(), QStringLiteral("secret"));
        NetSettingsDialog again(*config_, SDKManager::instance());
        QCOMPARE(Child<QComboBox>(&again, "proxyTypeComboBox")->currentIndex(), 1);
        QCOMPARE(Child<QLineEdit>(&again, "portLineedit")->text(), QStringLiteral("8888"));
        // No proxy, applied, removes the details from the file.
        Child<QComboBox>(&again, "proxyTypeComboBox")->setCurrentIndex(0);
        QVERIFY(!Child<QLineEdit>(&again, "addressLineedit")->isEnabled());
        again.OnApply();
        QCOMPARE(config_->value(g, QStringLiteral("proxyType")).toInt(), 0);
        for (const char* key : {"proxyHostName", "proxyPort", "proxyUser", "proxyPassword"})
            QVERIFY2(!config_->contains(g, QString::fromLatin1(key)), key);
    }
};

QTEST_MAIN(TstShellWidgets)
#include "tst_shellwidgets.moc"
