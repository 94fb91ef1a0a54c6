#pragma once
// Generated pictures for the seeded videos: thumbnails, snapshots and covers.
// Drawn pixel by pixel with a built-in bitmap font, so that no font database
// (and no GUI application object) is needed and any thread may draw.

#include <QByteArray>
#include <QString>

namespace orvsrv {

// PNG of width x height: a gradient in the colours of colourSeed, a frame
// number band for snapshots (index 1..6, 0 for none) and the caption.
QByteArray RenderPicturePng(int width, int height, int colourSeed, int index, const QString& caption);

// Deterministic bytes of a Windows-style setup program (not runnable here).
QByteArray InstallerBytes();

// The package the update service offers on Linux: a self-extracting shell
// script for `version`. Run, it unpacks a few files into
// $ORVANE_INSTALL_DIR (default ${XDG_DATA_HOME:-~/.local/share}/
// orvane-upload-client-installer/<version>) and writes INSTALLED there.
QByteArray InstallerPackage(const QString& version);
// Its file name below /files/installer/.
QString InstallerPackageName(const QString& version);

} // namespace orvsrv
