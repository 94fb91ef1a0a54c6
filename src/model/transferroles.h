#pragma once
// Data roles of the transfer page's models (upload queue and history): one
// definition for the models, their delegates and their tests.

#include <QCoreApplication>
#include <QVariant>
#include <Qt>

namespace TransferRole {
enum : int
{
    Vid = Qt::UserRole, // QString; every column
    Status,             // int (UploadStatus); queue
    Percent,            // int 0..100; queue
    StateText,          // "Waiting", "Pause", "Stoped" or empty; queue
    ErrorText,          // the last run's error or the file problem; queue
    SpeedText,          // "512KB/S"; empty unless uploading; queue
    TimeText,           // remaining "hh:mm:ss" or "OverOneDay"; queue
    UploadBytes,        // qulonglong; queue
    TotalBytes,         // qulonglong; queue and history (file size)
    RetryShown,         // bool: the row offers retry instead of start/pause; queue
    FileName,           // QString, full local path; both
    UpdateTime,         // qulonglong, seconds since the epoch; history
    CateId,             // qlonglong; queue
};
} // namespace TransferRole

// Header of a transfer table: the title column is left-aligned, the others
// centred; keys[section] is the caption's key in the given context.
inline QVariant TransferHeaderData(const char* context, const char* const (&keys)[5], int section,
                                   Qt::Orientation orientation, int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= 5)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return section == 0 ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    return QCoreApplication::translate(context, keys[section]);
}
