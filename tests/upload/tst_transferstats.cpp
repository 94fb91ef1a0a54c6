// Sizes, durations and the transfer statistics of the transfer list.

#include "upload/transferstats.h"
#include "upload/uploadstatus.h"

#include <QtTest>

class TestTransferStats : public QObject
{
    Q_OBJECT
private slots:
    // Sizes, durations, remaining times and speeds as the lists show them.
    void texts()
    {
        QCOMPARE(FormatSize(1536, 4), QStringLiteral("1.50 KB"));
        QCOMPARE(FormatSize(5LL << 30, 4), QStringLiteral("5.00 GB"));
        QCOMPARE(FormatSize(1023, 4), QStringLiteral("1023.00 B"));
        QCOMPARE(FormatSize(1024, 4), QStringLiteral("1.00 KB"));
        // Four units: a terabyte and more stays in GB.
        QCOMPARE(FormatSize(3LL << 40, 4), QStringLiteral("3072.00 GB"));
        QCOMPARE(FormatSize(3LL << 40, 5), QStringLiteral("3.00 TB"));

        QCOMPARE(FormatDuration(59), QStringLiteral("00:00:59"));
        QCOMPARE(FormatDuration(3599), QStringLiteral("00:59:59"));
        QCOMPARE(FormatDuration(3 * 3600 + 7 * 60 + 5), QStringLiteral("03:07:05"));
        QCOMPARE(FormatDuration(100 * 3600), QStringLiteral("100:00:00"));

        QCOMPARE(RemainingTimeText(1572864 + 100, 100, 512), QStringLiteral("00:00:03"));
        QCOMPARE(RemainingTimeText(3 * 3600 * 1024ULL, 0, 1), QStringLiteral("03:00:00"));
        QCOMPARE(RemainingTimeText(1572864, 0, 0), QStringLiteral("OverOneDay"));
        QCOMPARE(RemainingTimeText(86400ULL * 1024, 0, 1), QStringLiteral("OverOneDay"));
        QCOMPARE(RemainingTimeText(86399ULL * 1024, 0, 1), QStringLiteral("23:59:59"));
        // A counter ahead of the total (a file that grew) must not wrap around.
        QCOMPARE(RemainingTimeText(100, 5000, 10), QStringLiteral("00:00:00"));

        QCOMPARE(SpeedText(1536), QStringLiteral("1.50MB/S"));
        QCOMPARE(SpeedText(512), QStringLiteral("512KB/S"));
        QCOMPARE(SpeedText(1023), QStringLiteral("1023KB/S"));
        QCOMPARE(SpeedText(1024), QStringLiteral("1.00MB/S"));
    }

    void speedWindow()
    {
        SpeedWindow w;
        // 512 KB in the first second.
        QCOMPARE(w.Tick(512 * 1024), quint64(512));
        // Then nothing: the average over two ticks halves.
        QCOMPARE(w.Tick(512 * 1024), quint64(256));
        // Five more ticks of 1 MB each push the first two deltas out of the window.
        quint64 counter = 512 * 1024;
        for (int i = 0; i < 5; ++i) {
            counter += 1024 * 1024;
            w.Tick(counter);
        }
        QCOMPARE(w.size(), SpeedWindow::kSize);
        QCOMPARE(w.speed(), quint64(1024));
        // One quiet second: four 1 MB deltas and a zero over five.
        QCOMPARE(w.Tick(counter), quint64(4 * 1024 / 5));
        w.Reset();
        QCOMPARE(w.size(), 0);
        QCOMPARE(w.Tick(2048), quint64(2));
    }

    void listTotals()
    {
        QVector<TransferRowSample> rows = {
            {UploadStatus::Uploading, 300, 1000, 400},
            {UploadStatus::Waiting, 0, 2000, 0},
            {UploadStatus::Paused, 212, 500, 500},
            {UploadStatus::FileError, 0, 9000, 9000},
        };
        TransferTotals t = ComputeTotals(rows);
        QVERIFY(t.valid);
        QCOMPARE(t.total, quint64(3500));
        QCOMPARE(t.uploaded, quint64(900));
        QCOMPARE(t.speedText, QStringLiteral("512.00KB/S"));

        rows[0].speedKBs = 1324;
        QCOMPARE(ComputeTotals(rows).speedText, QStringLiteral("1.50MB/S"));

        // Nothing waiting or uploading: no speed text.
        rows[0].status = UploadStatus::Paused;
        rows[1].status = UploadStatus::Stopped;
        t = ComputeTotals(rows);
        QVERIFY(t.valid);
        QVERIFY(t.speedText.isEmpty());

        // More uploaded than total: this tick sends nothing.
        rows[1].uploadBytes = 5000;
        QVERIFY(!ComputeTotals(rows).valid);
        QVERIFY(ComputeTotals({}).valid);
    }
};

QTEST_GUILESS_MAIN(TestTransferStats)

#include "tst_transferstats.moc"
