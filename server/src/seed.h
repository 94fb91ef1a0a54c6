#pragma once
// Seed data: the demo accounts with their library, and large generated sets.

#include "orvsrv/platform_server.h"
#include "storage.h"

namespace orvsrv {

// SHA-1 of the password, upper-case hex, first 20 digits: what clients send.
QString PasswordDigest(const QString& password);
QString NewVid();

// Idempotent: does nothing when the demo main account exists.
bool SeedDemoData(Storage& storage);
// A new main account with `categories` categories and `videos` videos; returns its e-mail.
QString SeedLargeData(Storage& storage, int categories, int videos);
// One video for the main account of `email` (or its owner); returns its vid, empty on failure.
QString SeedVideoData(Storage& storage, const QString& email, const VideoSeed& seed);

} // namespace orvsrv
