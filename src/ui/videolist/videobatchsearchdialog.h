#pragma once
// Collects up to 100 vids for the library page's search mode.

#include <QDialog>

class QLabel;
class VidTextBrowser;

class VideoBatchSearchDialog : public QDialog
{
    Q_OBJECT
public:
    // Ten lines of a fixed sample id, "_" and the line number.
    static bool WriteTemplate(const QString& path);

    explicit VideoBatchSearchDialog(QWidget* parent = nullptr);

    QStringList vids() const;
    VidTextBrowser* textBrowser() const { return textBrowser_; }
    QLabel* countTip() const { return countTip_; }

public slots:
    void on_importButton_clicked();
    void on_downloadButton_clicked();
    void on_cancelButton_clicked();
    void on_queryButton_clicked();

private:
    VidTextBrowser* textBrowser_ = nullptr;
    QLabel* countTip_ = nullptr;
    QString lastDir_;
};
