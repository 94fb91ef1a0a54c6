#pragma once
// File identity and the video id (vid) derived from it.

#include "os.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orvup {

// The vid: 32 hex digits of a digest over the user id, the size, the
// modification time and a fixed sample of the content (at most 1 MiB read,
// whatever the file's size), then "_" and one character of the user id.
// Returns 0, ORV_ERR_FILE_NOT_EXIST or ORV_ERR_FILE_READ; on a read error the
// vid is still computed, without content.
int ComputeVid(const std::string& userId, const std::string& path, std::string* vid, FileIdentity* id);

bool IsWellFormedVid(const std::string& vid);

// What the cache keeps per vid so that an upload resumes after a restart.
struct UploadState
{
    std::string vid;
    std::string userId;
    std::string serviceUrl;
    std::string uploadUrl; // empty until the server created the upload
    FileIdentity file;
    int platform = -1; // -1 unknown, 0 plain server, 1 platform additions
    // (offset, CRC-64 of the first `offset` bytes), ascending.
    std::vector<std::pair<int64_t, uint64_t>> checkpoints;
};

std::string StatePath(const std::string& cacheDir, const std::string& vid);
bool LoadState(const std::string& cacheDir, const std::string& vid, UploadState* state);
// Atomic: a crash leaves either the old or the new state.
bool SaveState(const std::string& cacheDir, const UploadState& state);
void RemoveState(const std::string& cacheDir, const std::string& vid);

} // namespace orvup
