#pragma once
// Shared set-up of the update and start-up checks: a home of the run's own
// (data, settings and download folders) and update services offering a
// chosen version.

#include "serverfixture.h"

#include <QDir>
#include <QFile>

namespace updatetest {

// Points the data, settings and download folders below `home`.
inline bool UseHome(const QString& home)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/config")));
    QDir().mkpath(home + QStringLiteral("/config"));
    QFile dirs(home + QStringLiteral("/config/user-dirs.dirs"));
    return dirs.open(QIODevice::WriteOnly) &&
           dirs.write("XDG_DOWNLOAD_DIR=\"" + QFile::encodeName(home + QStringLiteral("/Downloads")) +
                      "\"\n") > 0;
}

inline orvsrv::ServerOptions Offering(const QString& version)
{
    orvsrv::ServerOptions o = orvtest::ServerFixture::DemoOptions();
    o.updateVersion = version;
    return o;
}

// One CA file trusting every given server; returns its path, or a null string.
inline QString CaBundle(const QString& path, const QList<orvtest::ServerFixture*>& servers)
{
    QFile bundle(path);
    if (!bundle.open(QIODevice::WriteOnly))
        return QString();
    for (orvtest::ServerFixture* server : servers) {
        QFile ca(server->CaFile());
        if (!ca.open(QIODevice::ReadOnly))
            return QString();
        bundle.write(ca.readAll());
    }
    return path;
}

} // namespace updatetest
