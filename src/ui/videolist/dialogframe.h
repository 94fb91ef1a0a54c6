#pragma once
// The frame shared by the library page's small dialogs: frameless, modal,
// an own title bar on top and a body below it.

class QDialog;
class QString;
class QStringList;
class QVBoxLayout;
class TitleBar;

// Makes `dialog` frameless and modal with a title bar of `titleHeight`, binds
// the style sheets and returns the body's layout.
QVBoxLayout* BuildDialogFrame(QDialog* dialog, const QString& title, const QStringList& styleSheets,
                              int titleHeight = 48, TitleBar** titleBar = nullptr);
