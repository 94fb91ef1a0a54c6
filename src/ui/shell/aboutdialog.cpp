#include "ui/shell/aboutdialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "base/version.h"
#include "ui/common/stylehelper.h"
#include "ui/common/titlebar.h"

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    BindStyleSheet(this, {QStringLiteral("AboutDialog.qss")});
    resize(560, 404);
    setWindowTitle(tr("AboutDialog.Title"));

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    titleBar_ = new TitleBar(this);
    titleBar_->setObjectName(QStringLiteral("titleWidget"));
    titleBar_->setFixedHeight(44);
    titleBar_->SetTitle(tr("AboutDialog.Title"));
    root->addWidget(titleBar_);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(36, 28, 36, 8);
    body->setSpacing(28);
    auto* logoWidget = new QWidget(this);
    logoWidget->setObjectName(QStringLiteral("logoWidget"));
    auto* logoLayout = new QVBoxLayout(logoWidget);
    logoLayout->setContentsMargins(0, 0, 0, 0);
    auto* logo = new QLabel(logoWidget);
    logo->setObjectName(QStringLiteral("logo"));
    logo->setPixmap(QIcon(QStringLiteral(":/image/about/logo.svg")).pixmap(QSize(88, 88)));
    logoLayout->addWidget(logo, 0, Qt::AlignTop | Qt::AlignHCenter);
    logoLayout->addStretch(1);
    body->addWidget(logoWidget);

    auto* infoWidget = new QWidget(this);
    infoWidget->setObjectName(QStringLiteral("infoWidget"));
    auto* info = new QVBoxLayout(infoWidget);
    info->setContentsMargins(0, 0, 0, 0);
    info->setSpacing(10);
    auto* name = new QLabel(QApplication::applicationDisplayName(), infoWidget);
    name->setObjectName(QStringLiteral("applicationNameLabel"));
    auto* version = new QLabel(tr("AboutDialog.Version:") + QString::fromLatin1(orvane::kVersionText), infoWidget);
    version->setObjectName(QStringLiteral("versionLabel"));
    auto* copyright = new QLabel(tr("AboutDialog.Copyright"), infoWidget);
    copyright->setObjectName(QStringLiteral("copyrightLabel"));
    copyright->setTextFormat(Qt::RichText);
    copyright->setOpenExternalLinks(true);
    copyright->setWordWrap(true);
    auto* license = new QLabel(
        tr("This application is based on Qt, used under the GNU Lesser General Public License version 3."),
        infoWidget);
    license->setObjectName(QStringLiteral("qtLicenseLabel"));
    license->setWordWrap(true);
    info->addWidget(name);
    info->addWidget(version);
    info->addSpacing(8);
    info->addWidget(copyright);
    info->addWidget(license);
    info->addStretch(1);
    body->addWidget(infoWidget, 1);
    root->addLayout(body, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(36, 8, 24, 22);
    buttons->setSpacing(12);
    auto* aboutQt = new QPushButton(tr("About Qt"), this);
    aboutQt->setObjectName(QStringLiteral("aboutQtButton"));
    auto* ok = new QPushButton(tr("AboutDialog.Ok"), this);
    ok->setObjectName(QStringLiteral("okBtn"));
    for (QPushButton* b : {aboutQt, ok}) {
        b->setAutoDefault(false);
        b->setCursor(Qt::PointingHandCursor);
        b->setMinimumSize(96, 34);
    }
    buttons->addWidget(aboutQt);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    root->addLayout(buttons);

    connect(aboutQt, &QPushButton::clicked, this, [this]() { QMessageBox::aboutQt(this); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QRect area;
    if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
        area = owner->frameGeometry();
    else if (QScreen* s = screen())
        area = s->availableGeometry();
    if (area.isValid())
        move(area.center() - QPoint(width() / 2, height() / 2));
}
