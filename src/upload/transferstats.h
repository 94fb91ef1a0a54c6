#pragma once
// Display helpers of the upload engine: sizes, durations and the transfer
// statistics that the transfer list computes once per second. Pure functions
// and a small value type, so they can be used from any row and tested alone.

#include "upload/uploadstatus.h"

#include <QString>
#include <QVector>
#include <array>

// Bytes as "%3.2f %s" with units from B upward, at most `units` of them
// (the last unit takes every larger value).
QString FormatSize(qint64 bytes, int units = 4);
// Seconds as "hh:mm:ss" (hours keep growing past 99).
QString FormatDuration(quint64 seconds);

// Per-upload speed over the last five one-second deltas of the byte counter.
class SpeedWindow
{
public:
    static constexpr int kSize = 5;

    // Takes the accumulated byte counter at this tick; returns the speed in KB/s.
    quint64 Tick(quint64 accumulated);
    void Reset();
    quint64 speed() const { return speed_; }
    int size() const { return count_; }

private:
    // A fixed ring: every queued upload has one, so it allocates nothing.
    std::array<quint64, kSize> deltas_{};
    int next_ = 0;
    int count_ = 0;
    quint64 previous_ = 0;
    quint64 speed_ = 0;
};

// A row's speed: "512KB/S" below 1024 KB/s, "1.50MB/S" from there on.
QString SpeedText(quint64 speedKBs);
// Seconds left for the remaining bytes at the given speed; -1 when unknown (speed 0).
qint64 RemainingSeconds(quint64 totalBytes, quint64 uploadBytes, quint64 speedKBs);
// "hh:mm:ss" of the remaining time, or the translated "OverOneDay" when the
// speed is 0 or a day or more is left.
QString RemainingTimeText(quint64 totalBytes, quint64 uploadBytes, quint64 speedKBs);

// One row's figures as the totals need them.
struct TransferRowSample
{
    UploadStatus status = UploadStatus::Waiting;
    quint64 speedKBs = 0;
    quint64 totalBytes = 0;
    quint64 uploadBytes = 0;
};

struct TransferTotals
{
    bool valid = false; // false: skip this tick (uploaded exceeds total)
    quint64 uploaded = 0;
    quint64 total = 0;
    QString speedText; // empty when nothing is waiting or uploading
};

// The list's summary: bytes of every row that is not FileError, and the sum
// of all speeds as "512.00KB/S" or "1.50MB/S".
TransferTotals ComputeTotals(const QVector<TransferRowSample>& rows);
QString TotalSpeedText(quint64 speedSumKBs, int active);
