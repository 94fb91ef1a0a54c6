// The shared widgets and the network settings dialog, on the offscreen platform.

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>
#include <QtTest>

#include "base/config.h"
#include "messagecapture.h"
#include "model/bmptextvalidator.h"
#include "platform/platform.h"
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
private slots:
    void initTestCase();
    void cleanupTestCase();

    void toastOverHiddenParentIsNotShown();
    void toastFadesAndIsGoneAfterTwoAndAHalfSeconds();
    void toastPlacementFollowsAlignment();
    void dropOfPlainTextCallsNothingAndWarns();
    void dropOfFilesHandsOverTheUrls();
    void validatorAcceptsBmpTextAndRejectsEmoji();
    void explorerSelectsWithTwoArguments_data();
    void explorerSelectsWithTwoArguments();
    void titleBarMaximiseStoresNormalGeometry();
    void statusButtonFollowsCheckState();
    void msgBoxReturnsClickedButtonAndMarksType();
    void netSettingsRefusesEmptyHost();
    void netSettingsApplyWritesProxyKeys();
    void netSettingsNoProxyRemovesKeys();

private:
    QTemporaryDir dir_;
    std::unique_ptr<Config> config_;
};

void TstShellWidgets::initTestCase()
{
    InitOrvaneResources();
    QVERIFY(dir_.isValid());
    config_ = std::make_unique<Config>(dir_.filePath(QStringLiteral("global.ini")));
    config_->RegisterDefaults();
    Config::SetGlobal(config_.get());
}

void TstShellWidgets::cleanupTestCase()
{
    Config::SetGlobal(nullptr);
    config_.reset();
}

void TstShellWidgets::toastOverHiddenParentIsNotShown()
{
    QWidget parent;
    MessageCapture log;
    Toast* toast = ShowToastInParent(&parent, QStringLiteral("hidden"));
    QVERIFY(toast == nullptr);
    QCOMPARE(parent.findChildren<Toast*>().size(), 0);
    QCOMPARE(log.Count(QtDebugMsg, QStringLiteral("ShowToastInParent parent is invisible, parent:")), 1);
}

void TstShellWidgets::toastFadesAndIsGoneAfterTwoAndAHalfSeconds()
{
    QWidget parent;
    parent.resize(400, 300);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));

    QElapsedTimer clock;
    clock.start();
    QPointer<Toast> toast = ShowToastInParent(&parent, QStringLiteral("saved"), 0, Qt::AlignCenter, true);
    QVERIFY(toast);
    QVERIFY(toast->isVisible());
    QTest::qWait(1500);
    QVERIFY2(toast && toast->isVisible(), "the toast must stay for its waiting time");
    QCOMPARE(toast->windowOpacity(), 1.0);
    QTRY_VERIFY_WITH_TIMEOUT(toast.isNull(), 4000);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= Toast::kWaitMs + Toast::kFadeMs - 100, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed < 3500, qPrintable(QString::number(elapsed)));
}

void TstShellWidgets::toastPlacementFollowsAlignment()
{
    const QRect parent(100, 200, 600, 400);
    const QSize toast(200, 40);
    // 160 = AlignTop | AlignVCenter: horizontally centred, at the top edge.
    const QPoint top = Toast::PlaceInRect(parent, toast, Qt::AlignTop | Qt::AlignVCenter);
    QCOMPARE(top.x(), 100 + (600 - 200) / 2);
    QVERIFY(top.y() >= 200 && top.y() < 200 + 40);
    const QPoint centre = Toast::PlaceInRect(parent, toast, Qt::AlignCenter);
    QCOMPARE(centre, QPoint(300, 380));
    const QPoint corner = Toast::PlaceInRect(parent, toast, Qt::AlignRight | Qt::AlignBottom);
    QVERIFY(corner.x() + toast.width() <= 700 && corner.x() + toast.width() > 700 - 40);
    QVERIFY(corner.y() + toast.height() <= 600 && corner.y() + toast.height() > 600 - 40);
}

void TstShellWidgets::dropOfPlainTextCallsNothingAndWarns()
{
    QWidget target;
    int calls = 0;
    new DropToUploadEventFilter(&target, [&calls](const QList<QUrl>&) { ++calls; });
    QVERIFY(target.acceptDrops());

    // Plain text is not offered to the target at all, so nothing can be dropped.
    QMimeData text;
    text.setText(QStringLiteral("just some text"));
    QDragEnterEvent enterText(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    enterText.setAccepted(false);
    QApplication::sendEvent(&target, &enterText);
    QVERIFY(!enterText.isAccepted());

    // A URL list that holds no URL passes the drag but is refused at the drop.
    QMimeData empty;
    empty.setData(QStringLiteral("text/uri-list"), QByteArray());
    empty.setText(QStringLiteral("just some text"));
    MessageCapture log;
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &empty, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(&target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &empty, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    QCOMPARE(calls, 0);
    QCOMPARE(log.Count(QtWarningMsg, QStringLiteral("mimeData hasUrls() is false")), 1);
    QCOMPARE(log.Count(QtWarningMsg, QStringLiteral("just some text")), 1);
}

void TstShellWidgets::dropOfFilesHandsOverTheUrls()
{
    QWidget target;
    QList<QUrl> received;
    new DropToUploadEventFilter(&target, [&received](const QList<QUrl>& urls) { received = urls; });
    QMimeData data;
    const QList<QUrl> urls{QUrl::fromLocalFile(QStringLiteral("/tmp/a.mp4")),
                           QUrl::fromLocalFile(QStringLiteral("/tmp/b.mov"))};
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(&target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    QCOMPARE(received, urls);
}

void TstShellWidgets::validatorAcceptsBmpTextAndRejectsEmoji()
{
    QVERIFY(BmpTextValidator::IsValid(QStringLiteral("Année scolaire")));
    QVERIFY(BmpTextValidator::IsValid(QString::fromUtf8("\u8bfe\u7a0b\u89c6\u9891 \u7b2c\u4e00\u8bfe")));
    QVERIFY(!BmpTextValidator::IsValid(QString::fromUtf8("Party \xF0\x9F\x8E\x89")));
    QVERIFY(!BmpTextValidator::AreValid({QStringLiteral("ok"), QString::fromUtf8("\xF0\x9F\x98\x80")}));
    // The shared instance is what the name fields install.
    QString title = QString::fromUtf8("\u6807\u9898");
    int pos = 0;
    QCOMPARE(BmpTextValidator::Instance()->validate(title, pos), QValidator::Acceptable);
    QString emoji = QString::fromUtf8("\xF0\x9F\x8E\xAC");
    QVERIFY(BmpTextValidator::Instance()->validate(emoji, pos) != QValidator::Acceptable);
}

void TstShellWidgets::explorerSelectsWithTwoArguments_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("shown");
    QTest::newRow("spaces") << "C:/Users/Jane Doe/My Videos/export 1.csv"
                            << "C:\\Users\\Jane Doe\\My Videos\\export 1.csv";
    QTest::newRow("native already") << "D:\\vids.txt"
                                    << "D:\\vids.txt";
    QTest::newRow("comma and CJK") << QStringLiteral("E:/导出/a,b.csv")
                                   << QStringLiteral("E:\\导出\\a,b.csv");
}

void TstShellWidgets::explorerSelectsWithTwoArguments()
{
    QFETCH(QString, path);
    QFETCH(QString, shown);
    QCOMPARE(platform::ExplorerSelectArguments(path), (QStringList{QStringLiteral("/select,"), shown}));
}

void TstShellWidgets::titleBarMaximiseStoresNormalGeometry()
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
    QVERIFY(bar->minimumBtn()->isVisible());
    QVERIFY(bar->maximumBtn()->isVisible());
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
    auto* grip = window.findChild<QWidget*>(QStringLiteral("sizeGrip"));
    QVERIFY(grip);
    QCOMPARE(grip->geometry().bottomRight(), window.rect().bottomRight());

    // A window without the hints shows no such buttons.
    QWidget dialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    auto* dialogBar = new TitleBar(&dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(!dialogBar->minimumBtn()->isVisible());
    QVERIFY(!dialogBar->maximumBtn()->isVisible());
}

void TstShellWidgets::statusButtonFollowsCheckState()
{
    StatusButton text(nullptr, QStringLiteral("allOperationBtn"), QStringLiteral("StartAll"),
                      QStringLiteral("SuspendAll"), QSize(90, 28));
    QCOMPARE(text.objectName(), QStringLiteral("allOperationBtn"));
    QCOMPARE(text.text(), QStringLiteral("StartAll"));
    QVERIFY(!text.autoDefault());
    text.setChecked(true);
    QCOMPARE(text.text(), QStringLiteral("SuspendAll"));
    text.setChecked(false);
    QCOMPARE(text.text(), QStringLiteral("StartAll"));

    StatusButton tip(nullptr, QStringLiteral("playBtn"), QStringLiteral("Play"), QStringLiteral("Pause"),
                     QSize(24, 24), true);
    QVERIFY(tip.text().isEmpty());
    QCOMPARE(tip.toolTip(), QStringLiteral("Play"));
    tip.click();
    QCOMPARE(tip.toolTip(), QStringLiteral("Pause"));
    QCOMPARE(tip.size(), QSize(24, 24));
}

void TstShellWidgets::msgBoxReturnsClickedButtonAndMarksType()
{
    QString seenTitle;
    QStringList seenTypes;
    QTimer::singleShot(50, this, [&]() {
        auto* box = qobject_cast<MsgBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        seenTitle = box->windowTitle();
        for (QAbstractButton* b : box->buttonBox()->buttons())
            seenTypes << b->property("Type").toString();
        box->buttonBox()->button(QDialogButtonBox::Cancel)->click();
    });
    const int answer = MsgBox::warning(nullptr, QString(), QStringLiteral("Leave?"),
                                       QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(answer, int(QDialogButtonBox::Cancel));
    QCOMPARE(seenTitle, QStringLiteral("MsgBox.DefaultTitle"));
    QCOMPARE(seenTypes, QStringList({QStringLiteral("Warning"), QStringLiteral("Warning")}));

    QTimer::singleShot(50, this, []() {
        auto* box = qobject_cast<MsgBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("SystemTip"));
        box->buttonBox()->button(QDialogButtonBox::Ok)->click();
    });
    QCOMPARE(MsgBox::information(nullptr, QStringLiteral("SystemTip"), QStringLiteral("Done"),
                                 QDialogButtonBox::Ok | QDialogButtonBox::Cancel),
             int(QDialogButtonBox::Ok));
}

void TstShellWidgets::netSettingsRefusesEmptyHost()
{
    config_->remove(QStringLiteral("NetWorkManager"));
    NetSettingsDialog dialog(*config_, SDKManager::instance());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* type = dialog.findChild<QComboBox*>(QStringLiteral("proxyTypeComboBox"));
    auto* address = dialog.findChild<QLineEdit*>(QStringLiteral("addressLineedit"));
    QVERIFY(type && address);
    QVERIFY(!address->isEnabled());
    type->setCurrentIndex(1);
    QVERIFY(address->isEnabled());
    address->setText(QStringLiteral("   "));
    dialog.OnApply();
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.result() != QDialog::Accepted);
    QVERIFY(!config_->contains(QStringLiteral("NetWorkManager"), QStringLiteral("proxyType")));
    auto* settings = dialog.findChild<QWidget*>(QStringLiteral("settingsWidget"));
    const QList<Toast*> toasts = settings->findChildren<Toast*>();
    QCOMPARE(toasts.size(), 1);
    auto* msg = toasts.first()->findChild<QLabel*>(QStringLiteral("msg"));
    QCOMPARE(msg->text(), QStringLiteral("NetSettingsDialog.HostIsEmpty!"));
}

void TstShellWidgets::netSettingsApplyWritesProxyKeys()
{
    config_->remove(QStringLiteral("NetWorkManager"));
    NetSettingsDialog dialog(*config_, SDKManager::instance());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.findChild<QComboBox*>(QStringLiteral("proxyTypeComboBox"))->setCurrentIndex(1);
    dialog.findChild<QLineEdit*>(QStringLiteral("addressLineedit"))->setText(QStringLiteral("  127.0.0.1 "));
    auto* port = dialog.findChild<QLineEdit*>(QStringLiteral("portLineedit"));
    // The validator keeps the port within 0..65535.
    QTest::keyClicks(port, QStringLiteral("65536"));
    QCOMPARE(port->text(), QStringLiteral("6553"));
    port->clear();
    QTest::keyClicks(port, QStringLiteral("8888"));
    dialog.findChild<QLineEdit*>(QStringLiteral("usernameLineedit"))->setText(QStringLiteral("proxyuser"));
    dialog.findChild<QLineEdit*>(QStringLiteral("passwordLineedit"))->setText(QStringLiteral("secret"));
    dialog.OnApply();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const QString g = QStringLiteral("NetWorkManager");
    QCOMPARE(config_->value(g, QStringLiteral("proxyType")).toInt(), 1);
    QCOMPARE(config_->value(g, QStringLiteral("proxyHostName")).toString(), QStringLiteral("127.0.0.1"));
    QCOMPARE(config_->value(g, QStringLiteral("proxyPort")).toUInt(), 8888u);
    QCOMPARE(config_->value(g, QStringLiteral("proxyUser")).toString(), QStringLiteral("proxyuser"));
    QCOMPARE(config_->value(g, QStringLiteral("proxyPassword")).toString(), QStringLiteral("secret"));

    // A new dialog shows what is stored.
    NetSettingsDialog again(*config_, SDKManager::instance());
    QCOMPARE(again.findChild<QComboBox*>(QStringLiteral("proxyTypeComboBox"))->currentIndex(), 1);
    QCOMPARE(again.findChild<QLineEdit*>(QStringLiteral("portLineedit"))->text(), QStringLiteral("8888"));
}

void TstShellWidgets::netSettingsNoProxyRemovesKeys()
{
    const QString g = QStringLiteral("NetWorkManager");
    config_->setValue(g, QStringLiteral("proxyType"), 1);
    config_->setValue(g, QStringLiteral("proxyHostName"), QStringLiteral("10.0.0.1"));
    config_->setValue(g, QStringLiteral("proxyPort"), QStringLiteral("3128"));
    config_->setValue(g, QStringLiteral("proxyUser"), QStringLiteral("u"));
    config_->setValue(g, QStringLiteral("proxyPassword"), QStringLiteral("p"));
    NetSettingsDialog dialog(*config_, SDKManager::instance());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.findChild<QComboBox*>(QStringLiteral("proxyTypeComboBox"))->setCurrentIndex(0);
    dialog.OnApply();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(config_->value(g, QStringLiteral("proxyType")).toInt(), 0);
    for (const char* key : {"proxyHostName", "proxyPort", "proxyUser", "proxyPassword"})
        QVERIFY2(!config_->contains(g, QString::fromLatin1(key)), key);
}

QTEST_MAIN(TstShellWidgets)
#include "tst_shellwidgets.moc"
