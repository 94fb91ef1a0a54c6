#include "ui/videolist/videobatchsearchdialog.h"

#include "ui/common/showinexplorer.h"
#include "ui/common/toast.h"
#include "ui/videolist/dialogframe.h"
#include "ui/videolist/vidtextbrowser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {
const char kSampleId[] = "8e6f0b7c2a9d4e51b3c07f1a6d2e9b48";

QString CountText(int count)
{
    const QString text = VideoBatchSearchDialog::tr("Input Vid Count Tips");
    return text.contains(QLatin1String("%1")) ? text.arg(count) : text;
}

QPushButton* MakeButton(QWidget* parent, const QString& text, const char* name)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setFixedHeight(32);
    return button;
}
} // namespace

bool VideoBatchSearchDialog::WriteTemplate(const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int i = 0; i < 10; ++i)
        file.write(QByteArray(kSampleId) + '_' + QByteArray::number(i) + '\n');
    return file.commit();
}

VideoBatchSearchDialog::VideoBatchSearchDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VideoBatchSearchDialog"));
    QVBoxLayout* body =
        BuildDialogFrame(this, tr("BatchSearch"), {QStringLiteral("VideoBatchSearchDialog.qss")});
    lastDir_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);

    auto* top = new QHBoxLayout;
    auto* input = new QLabel(tr("Input vid"), this);
    input->setObjectName(QStringLiteral("inputLabel"));
    top->addWidget(input);
    top->addStretch(1);
    QPushButton* importButton = MakeButton(this, tr("Import CSV File"), "importButton");
    QPushButton* downloadButton = MakeButton(this, tr("Download Template"), "downloadButton");
    top->addWidget(importButton);
    top->addWidget(downloadButton);
    body->addLayout(top);

    textBrowser_ = new VidTextBrowser(this);
    textBrowser_->setObjectName(QStringLiteral("textBrowser"));
    body->addWidget(textBrowser_, 1);

    auto* tipWidget = new QWidget(this);
    tipWidget->setObjectName(QStringLiteral("tipWidget"));
    auto* tips = new QHBoxLayout(tipWidget);
    tips->setContentsMargins(0, 0, 0, 0);
    auto* tip = new QLabel(tr("Search Vids Tips"), tipWidget);
    tip->setObjectName(QStringLiteral("searchTip"));
    tip->setWordWrap(true);
    countTip_ = new QLabel(CountText(0), tipWidget);
    countTip_->setObjectName(QStringLiteral("countTip"));
    tips->addWidget(tip, 1);
    tips->addWidget(countTip_);
    body->addWidget(tipWidget);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QPushButton* cancelButton = MakeButton(this, tr("Cancel"), "cancelButton");
    QPushButton* queryButton = MakeButton(this, tr("Query"), "queryButton");
    queryButton->setDefault(false);
    buttons->addWidget(cancelButton);
    buttons->addWidget(queryButton);
    body->addLayout(buttons);

    connect(importButton, &QPushButton::clicked, this, &VideoBatchSearchDialog::on_importButton_clicked);
    connect(downloadButton, &QPushButton::clicked, this, &VideoBatchSearchDialog::on_downloadButton_clicked);
    connect(cancelButton, &QPushButton::clicked, this, &VideoBatchSearchDialog::on_cancelButton_clicked);
    connect(queryButton, &QPushButton::clicked, this, &VideoBatchSearchDialog::on_queryButton_clicked);
    connect(textBrowser_, &VidTextBrowser::SignalCount, this,
            [this](int count) { countTip_->setText(CountText(count)); });
    resize(640, 480);
}

QStringList VideoBatchSearchDialog::vids() const
{
    return textBrowser_->vids();
}

void VideoBatchSearchDialog::on_importButton_clicked()
{
    const QString filter = QStringLiteral("%1 (%2);;%3 (%4);;%5 (%6)")
                               .arg(tr("AllVidFiles"), QStringLiteral("*.csv *.txt"), tr("CsvFiles"),
                                    QStringLiteral("*.csv"), tr("TxtFiles"), QStringLiteral("*.txt"));
    const QStringList paths = QFileDialog::getOpenFileNames(this, tr("Import CSV File"), lastDir_, filter);
    if (paths.isEmpty())
        return;
    lastDir_ = QFileInfo(paths.first()).absolutePath();
    textBrowser_->ImportFiles(paths);
}

void VideoBatchSearchDialog::on_downloadButton_clicked()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save csv template file"),
                                                      lastDir_ + QStringLiteral("/orv_template_vids.csv"),
                                                      QStringLiteral("%1 (*.csv)").arg(tr("CsvFiles")));
    if (path.isEmpty())
        return;
    lastDir_ = QFileInfo(path).absolutePath();
    if (WriteTemplate(path))
        ShowInExplorer(path);
}

void VideoBatchSearchDialog::on_cancelButton_clicked()
{
    reject();
}

void VideoBatchSearchDialog::on_queryButton_clicked()
{
    if (textBrowser_->vids().isEmpty()) {
        ShowToastInParent(this, tr("Vids Empty"));
        return;
    }
    accept();
}
