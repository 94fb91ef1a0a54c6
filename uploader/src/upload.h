#pragma once
// One upload run: from Start until success, failure or a stop request.

#include "core.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace orvup {

// Why a run or a delete has to end early. Written by the caller's threads,
// read by the worker.
enum StopReason : int
{
    kRunOn = 0,
    kStopPause = 1,   // ends with result 5
    kStopSilent = 2,  // ends without a result (Release, Stop, SetVID)
    kStopDelete = 3,  // a delete follows; no result
    kStopDestroy = 4, // the handle or the library goes away; no callbacks
};

struct UploadParams
{
    bool hasFile = false;
    std::string path;
    std::string title;
    std::string description;
    std::string tags;
    int64_t cateId = 0;
    int32_t luping = 0;
    int32_t keepSource = 0;
    std::string vid;
};

struct Outcome
{
    int code = 0;
    std::string desc; // empty = no description
};

using ProgressFn = std::function<void(int increment, int64_t uploaded, int64_t total)>;

// Runs the upload to its end; returns the result code. Progress is reported
// through `progress` on the calling thread. Running out of memory or of
// system resources is a result like any other.
Outcome RunUpload(const UploadParams& params, const std::atomic<int>& stop,
                  const ProgressFn& progress) noexcept;

// Terminates the upload on the server and forgets its saved state.
Outcome DeleteUpload(const std::string& vid, const std::atomic<int>& stop) noexcept;

// The error description that goes with a result code.
const char* DescribeCode(int code);

} // namespace orvup
