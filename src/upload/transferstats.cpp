#include "upload/transferstats.h"

#include "upload/uploadstatus.h"

#include <QCoreApplication>

QString FormatSize(qint64 bytes, int units)
{
    static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB", "PB", "EB", "ZB", "YB"};
    const int count = qBound(1, units, 9);
    double value = static_cast<double>(bytes);
    for (int i = 0; i < count - 1; ++i) {
        if (value < 1024)
            return QString::asprintf("%3.2f %s", value, kUnits[i]);
        value *= 0.0009765625;
    }
    return QString::asprintf("%.2f %s", value, kUnits[count - 1]);
}

QString FormatDuration(quint64 seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds % 3600) / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

quint64 SpeedWindow::Tick(quint64 accumulated)
{
    // A counter that went backwards (reset by the row) counts as no progress.
    const quint64 delta = accumulated >= previous_ ? accumulated - previous_ : 0;
    previous_ = accumulated;
    // The oldest of five makes room for the newest.
    deltas_[static_cast<size_t>(next_)] = delta;
    next_ = (next_ + 1) % kSize;
    count_ = qMin(count_ + 1, kSize);
    quint64 sum = 0;
    for (int i = 0; i < count_; ++i)
        sum += deltas_[static_cast<size_t>(i)];
    speed_ = sum / (static_cast<quint64>(count_) * 1024);
    return speed_;
}

void SpeedWindow::Reset()
{
    deltas_.fill(0);
    next_ = 0;
    count_ = 0;
    previous_ = 0;
    speed_ = 0;
}

QString SpeedText(quint64 speedKBs)
{
    if (speedKBs < 1024)
        return QStringLiteral("%1%2").arg(speedKBs).arg(QStringLiteral("KB/S"));
    return QString::number(static_cast<double>(speedKBs) / 1024.0, 'f', 2) + QStringLiteral("MB/S");
}

qint64 RemainingSeconds(quint64 totalBytes, quint64 uploadBytes, quint64 speedKBs)
{
    if (speedKBs == 0)
        return -1;
    const quint64 leftKB = totalBytes > uploadBytes ? (totalBytes - uploadBytes) / 1024 : 0;
    return static_cast<qint64>(leftKB / speedKBs);
}

QString RemainingTimeText(quint64 totalBytes, quint64 uploadBytes, quint64 speedKBs)
{
    const qint64 seconds = RemainingSeconds(totalBytes, uploadBytes, speedKBs);
    if (seconds < 0 || seconds >= 86400)
        return QCoreApplication::translate("ProgressWidget", "OverOneDay");
    return FormatDuration(static_cast<quint64>(seconds));
}

QString TotalSpeedText(quint64 speedSumKBs, int active)
{
    if (active == 0)
        return QString();
    if (speedSumKBs < 1024)
        return QString::number(static_cast<double>(speedSumKBs), 'f', 2) + QStringLiteral("KB/S");
    return QString::number(static_cast<double>(speedSumKBs) / 1024.0, 'f', 2) + QStringLiteral("MB/S");
}

TransferTotals ComputeTotals(const QVector<TransferRowSample>& rows)
{
    TransferTotals t;
    quint64 speedSum = 0;
    int active = 0;
    for (const TransferRowSample& r : rows) {
        speedSum += r.speedKBs;
        if (r.status != UploadStatus::FileError) {
            t.total += r.totalBytes;
            t.uploaded += r.uploadBytes;
        }
        if (r.status == UploadStatus::Waiting || r.status == UploadStatus::Uploading)
            ++active;
    }
    if (t.uploaded > t.total)
        return t;
    t.valid = true;
    t.speedText = TotalSpeedText(speedSum, active);
    return t;
}
