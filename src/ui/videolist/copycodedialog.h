#pragma once
// The HTML snippet that embeds one video in a web page, coloured like an
// editor shows it, ready to copy as plain text.

#include <QDialog>

class Config;
class QTextBrowser;

class CopyCodeDialog : public QDialog
{
    Q_OBJECT
public:
    // `config` may name another player host; null keeps the platform's.
    CopyCodeDialog(const QString& vid, const Config* config, QWidget* parent = nullptr);

    // The snippet's rich text with the vid filled in (HTML-escaped).
    static QString RichText(const QString& vid, const QString& playerHost);
    // Host of the player script: "Custom"/"playerHost", else the platform's.
    static QString PlayerHost(const Config* config);
    QString vid() const { return vid_; }
    QTextBrowser* codeBrowser() const { return codeBrowser_; }

private:
    QString vid_;
    QTextBrowser* codeBrowser_ = nullptr;
};
