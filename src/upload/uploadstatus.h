#pragma once
// State of one upload task. The numbers are stable: signals carry them as int.

#include <QMetaType>

enum class UploadStatus : int
{
    Waiting = 0,   // queued for a free upload slot
    Uploading = 1, // the library is transferring
    Paused = 2,    // paused by the user
    Stopped = 3,   // created but not started
    Failed = 4,    // the last run ended with an error
    FileError = 5, // file missing, changed or corrupt; never started again
};
Q_DECLARE_METATYPE(UploadStatus)
