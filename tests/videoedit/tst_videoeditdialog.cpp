// The video edit dialog in library mode against the local platform server:
// saving and its close guard, the cover page's pictures, cover change and
// custom cover upload, with the requests counted on the server.

#include "modelenv.h"
#include "testsupport.h"

#include "base/paths.h"
#include "model/videotablemodel.h"
#include "ui/common/msgbox.h"
#include "ui/resources.h"
#include "ui/videolist/videoeditdialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {
// Records the text of every toast shown while it exists (toasts delete
// themselves after a few seconds).
class ToastRecorder : public QObject
{
public:
    ToastRecorder() { qApp->installEventFilter(this); }
    ~ToastRecorder() override { qApp->removeEventFilter(this); }
    // Toasts showing the text of `key`, up to its "%1" when it has one.
    int Count(const QString& key) const
    {
        const QString text = QCoreApplication::translate("VideoEditDialog", qPrintable(key));
        const QString prefix = text.left(text.indexOf(QLatin1String("%1")));
        return int(std::count_if(texts_.cbegin(), texts_.cend(),
                                 [&](const QString& shown) { return shown.startsWith(prefix); }));
    }
    bool Seen(const QString& key) const { return Count(key) > 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("Toast"))
            if (auto* msg = watched->findChild<QLabel*>(QStringLiteral("msg")))
                texts_ << msg->text();
        return false;
    }

private:
    QStringList texts_;
};

const QString kUpdate = QStringLiteral("/v3/video/update-info");
const QString kUpload = QStringLiteral("/v3/video/upload-cover-image");
const QString kFiles = QStringLiteral("/files/");
} // namespace

class VideoEditDialogTest : public QObject
{
    Q_OBJECT
    template <typename T> static T* Child(const QWidget* dialog, const char* name)
    {
        return dialog->findChild<T*>(QLatin1String(name));
    }

    orvtest::ModelEnv env_;
    std::unique_ptr<VideoTableModel> model_;
    QTemporaryDir files_;

    bool LoadPage()
    {
        orvtest::QueuedSpy done(model_.get(), &VideoTableModel::SignalRefreshVideoListDone);
        model_->RefreshVideoList(1, QString(), true, 1, 20, ApiCollection::NoSort);
        return done.wait(20000) && model_->rowCount() > 0;
    }

    std::unique_ptr<VideoEditDialog> Open(int row)
    {
        auto dialog =
            std::make_unique<VideoEditDialog>(model_.get(), env_.account().userId(), model_->index(row, 2));
        dialog->show();
        return dialog;
    }

    QString Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(files_.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName()
                                                                                    : QString();
    }

private slots:
    void initTestCase()
    {
        InitOrvaneResources();
        QString error;
        QVERIFY2(env_.Start(&error), qPrintable(error));
        error = env_.Login(QString::fromLatin1(orvsrv::kDemoMainEmail));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        model_ = std::make_unique<VideoTableModel>();
        QVERIFY(LoadPage());
    }

    void cleanupTestCase()
    {
        model_.reset(); // waits for its tasks
        env_.Stop();
    }

    void save_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("failures"); // update answers the server refuses first
        QTest::addColumn<int>("requests");
        QTest::newRow("unchanged form sends nothing") << QString() << 0 << 0;
        QTest::newRow("refused, then saved") << QStringLiteral("Edited title") << 1 << 2;
    }

    void save()
    {
        QFETCH(QString, title);
        QFETCH(int, failures);
        QFETCH(int, requests);
        const int before = env_.server().RequestCount(kUpdate);
        orvsrv::FaultRule refuse;
        refuse.pathPattern = kUpdate;
        refuse.failNextN = failures;
        refuse.httpStatus = 400;
        const int fault = env_.server().AddFault(refuse);
        ToastRecorder toasts;
        const QString vid = model_->index(1, 0).data(VideoTableModel::DataRole::Vid).toString();
        auto dialog = Open(1);
        auto* confirm = Child<QPushButton>(dialog.get(), "confirmButton");
        if (!title.isEmpty())
            Child<QLineEdit>(dialog.get(), "titleLineEdit")->setText(title);
        for (int i = 0; i < failures; ++i) {
            confirm->click();
            QVERIFY(!confirm->isEnabled());
            // Escape while the update runs keeps the dialog open.
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
            QVERIFY(toasts.Seen(QStringLiteral("VideoEditDialog.CloseWhenUpdateVideoInfo!")));
            QTRY_VERIFY_WITH_TIMEOUT(confirm->isEnabled(), 15000);
            QVERIFY(dialog->isVisible());
            QVERIFY(Child<QPushButton>(dialog.get(), "cancelButton")->isEnabled());
            QCOMPARE(toasts.Count(QStringLiteral("VideoEditDialog.UpdateVideoInfoFailed:")), i + 1);
        }
        confirm->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialog->result(), int(QDialog::Accepted), 15000);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(env_.server().RequestCount(kUpdate) - before, requests);
        env_.server().RemoveFault(fault);
        if (title.isEmpty())
            return;
        QCOMPARE(dialog->title(), title);
        // The library shows the new title after its next page load.
        QVERIFY(LoadPage());
        QCOMPARE(model_->index(model_->RowOfVid(vid), 0).data(VideoTableModel::DataRole::Title).toString(),
                 title);
    }

    void coverFileChecks_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message"); // empty: accepted
        using orvtest::PaddedPng;
        const qint64 fiveMb = VideoEditDialog::kMaxCoverBytes;
        const QString tooWide = QStringLiteral("VideoEditDialog.UploadCoverResolutionTooLarge");
        QTest::newRow("5 MB, 1920 x 1080")
            << Write(QStringLiteral("max.png"), PaddedPng(1920, 1080, fiveMb)) << QString();
        QTest::newRow("one byte more") << Write(QStringLiteral("big.png"), PaddedPng(1920, 1080, fiveMb + 1))
                                       << QStringLiteral("VideoEditDialog.UploadCoverFileSizeTooLarge");
        QTest::newRow("1921 wide") << Write(QStringLiteral("wide.png"), PaddedPng(1921, 1080)) << tooWide;
        QTest::newRow("1081 high") << Write(QStringLiteral("high.png"), PaddedPng(1920, 1081)) << tooWide;
        // A tiny file whose header claims a huge canvas is refused from the header.
        QByteArray bomb = PaddedPng(1, 1);
        qToBigEndian(quint32(60000), bomb.data() + 16);
        qToBigEndian(quint32(60000), bomb.data() + 20);
        qToBigEndian(orvtest::Crc32(bomb.mid(12, 17)), bomb.data() + 29);
        QTest::newRow("header claims 60000 x 60000") << Write(QStringLiteral("bomb.png"), bomb) << tooWide;
        QTest::newRow("not a picture") << QFINDTESTDATA("tst_videoeditdialog.cpp")
                                       << QStringLiteral("VideoEditDialog.UploadCoverNotImage");
    }

    void coverFileChecks()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        const int before = env_.server().RequestCount(kUpload);
        ToastRecorder toasts;
        auto dialog = Open(2);
        dialog->ShowPage(1);
        QCOMPARE(dialog->UploadCoverFile(path), message.isEmpty());
        if (message.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(toasts.Seen(QStringLiteral("VideoEditDialog.UploadCoverSucceed")),
                                     30000);
            QCOMPARE(env_.server().RequestCount(kUpload), before + 1);
            dialog->reject(); // allowed once the upload ended
            QVERIFY(!dialog->isVisible());
            return;
        }
        QVERIFY(toasts.Seen(message));
        QVERIFY(Child<QPushButton>(dialog.get(), "uploadCoverButton")->isEnabled());
        QCOMPARE(env_.server().RequestCount(kUpload), before);
    }

    void coverPage()
    {
        const int row = 3;
        const QString vid = model_->index(row, 0).data(VideoTableModel::DataRole::Vid).toString();
        // Snapshots and the cover; the list's thumbnail pass fetches others.
        const QString filesOfVid = kFiles + env_.account().userId() + QLatin1Char('/') + vid;
        auto fetched = [&] {
            return env_.server().RequestCount(filesOfVid + QStringLiteral("/snap")) +
                   env_.server().RequestCount(filesOfVid + QStringLiteral("/cover"));
        };
        const int before = fetched();
        ToastRecorder toasts;
        {
            auto dialog = Open(row);
            dialog->ShowPage(1);
            // Six snapshots and the cover, each downloaded once into the cache.
            for (int i = 1; i <= VideoEditDialog::kSnapshotCount; ++i) {
                auto* label = dialog->findChild<QLabel*>(QStringLiteral("pic%1").arg(i));
                QTRY_VERIFY_WITH_TIMEOUT(label->property("valid").toBool(), 20000);
            }
            QTRY_VERIFY(Child<QLabel>(dialog.get(), "selectedPic")->property("valid").toBool());
        }
        QCOMPARE(fetched() - before, VideoEditDialog::kSnapshotCount + 1);

        // The second opening reads every picture from the cache.
        auto dialog = Open(row);
        dialog->ShowPage(1);
        auto* third = Child<QLabel>(dialog.get(), "pic3");
        QTRY_VERIFY_WITH_TIMEOUT(third->property("valid").toBool(), 20000);
        QCOMPARE(fetched() - before, VideoEditDialog::kSnapshotCount + 1);

        // Choosing the third snapshot makes it the cover; the list shows its thumbnail.
        QTest::mouseClick(third, Qt::LeftButton);
        QVERIFY(third->findChild<QLabel*>(QStringLiteral("selectedMark"))->isVisibleTo(third));
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(toasts.Seen(QStringLiteral("VideoEditDialog.CloseWhenChanging!")));
        QTRY_VERIFY_WITH_TIMEOUT(toasts.Seen(QStringLiteral("VideoEditDialog.ChangeCoverSucceed")), 15000);
        QVERIFY(LoadPage());
        const QModelIndex cell = model_->index(model_->RowOfVid(vid), 0);
        QCOMPARE(cell.data(VideoTableModel::DataRole::ThumbnailURL).toUrl().fileName(),
                 QStringLiteral("snap3_s.png"));
        QCOMPARE(cell.data(VideoTableModel::DataRole::CoverURL).toUrl().fileName(),
                 QStringLiteral("snap3_b.png"));

        // Closing while pictures download stops the download at once.
        orvsrv::FaultRule slow;
        slow.pathPattern = kFiles;
        slow.slowBodyBytesPerSec = 200;
        const int fault = env_.server().AddFault(slow);
        QDir(WorkDir() + QStringLiteral("/thumbs")).removeRecursively();
        dialog = Open(row);
        dialog->ShowPage(1);
        QTRY_VERIFY(fetched() > before + VideoEditDialog::kSnapshotCount + 1);
        QElapsedTimer closing;
        closing.start();
        dialog.reset();
        QVERIFY(closing.elapsed() < 5000);
        env_.server().RemoveFault(fault);
    }

    void coverUpload()
    {
        const QString first = Write(QStringLiteral("first.png"), orvtest::PaddedPng(640, 360));
        const QString second = Write(QStringLiteral("second.png"), orvtest::PaddedPng(320, 180));
        const int before = env_.server().RequestCount(kUpload);
        ToastRecorder toasts;
        auto dialog = Open(4);
        dialog->ShowPage(1);
        // The first upload is refused after a while; the second, chosen
        // meanwhile, starts once the first has ended and succeeds.
        orvsrv::FaultRule refuse;
        refuse.pathPattern = kUpload;
        refuse.failNextN = 1;
        refuse.latencyMs = 500;
        const int fault = env_.server().AddFault(refuse);
        QVERIFY(dialog->UploadCoverFile(first));
        auto* overlay = Child<QWidget>(dialog.get(), "uploadingOverlay");
        QVERIFY(!overlay->isHidden());
        // Escape and the cancel button keep the dialog open while the upload runs.
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        Child<QPushButton>(dialog.get(), "cancelButton")->click();
        QVERIFY(dialog->isVisible());
        QCOMPARE(toasts.Count(QStringLiteral("VideoEditDialog.CloseWhenUploading!")), 2);
        QVERIFY(dialog->UploadCoverFile(second));
        QTRY_VERIFY_WITH_TIMEOUT(toasts.Seen(QStringLiteral("VideoEditDialog.UploadCoverSucceed")), 20000);
        QVERIFY(overlay->isHidden());
        QTRY_VERIFY(Child<QLabel>(dialog.get(), "selectedPic")->property("valid").toBool());
        env_.server().RemoveFault(fault);
        QCOMPARE(env_.server().RequestCount(kUpload) - before, 2);
        QCOMPARE(toasts.Count(QStringLiteral("VideoEditDialog.UploadCoverFailed: %1")), 1);
        auto* upload = Child<QPushButton>(dialog.get(), "uploadCoverButton");
        QVERIFY(upload->isEnabled());

        // After a custom cover, the button asks first; Cancel ends there, OK opens the file dialog.
        for (const auto answer : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
            upload->click();
            auto* question = Child<MsgBox>(dialog.get(), "reUploadQuestion");
            QVERIFY(question);
            question->buttonBox()->button(answer)->click();
            QTRY_VERIFY(!Child<MsgBox>(dialog.get(), "reUploadQuestion"));
            auto* chooser = Child<QFileDialog>(dialog.get(), "coverFileDialog");
            QCOMPARE(chooser != nullptr, answer == QDialogButtonBox::Ok);
            if (chooser) {
                // What the dialog reports for a chosen file, without its own checks' message boxes.
                emit chooser->fileSelected(first);
                chooser->reject();
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(env_.server().RequestCount(kUpload) - before == 3 && upload->isEnabled(),
                                 20000);
    }
};

QTEST_MAIN(VideoEditDialogTest)
#include "tst_videoeditdialog.moc"
