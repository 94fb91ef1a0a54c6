#pragma once
// The HTML snippet that embeds one video in a web page, ready to copy.

#include <QDialog>

class QTextBrowser;

class CopyCodeDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CopyCodeDialog(const QString& vid, QWidget* parent = nullptr);

    // The snippet for a vid, as plain text.
    static QString Snippet(const QString& vid);
    QString vid() const { return vid_; }

private:
    QString vid_;
    QTextBrowser* codeBrowser_ = nullptr;
};
