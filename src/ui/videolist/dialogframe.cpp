#include "ui/videolist/dialogframe.h"

#include "ui/common/stylehelper.h"
#include "ui/common/titlebar.h"

#include <QDialog>
#include <QPushButton>
#include <QVBoxLayout>

QVBoxLayout* BuildDialogFrame(QDialog* dialog, const QString& title, const QStringList& styleSheets,
                              int titleHeight, TitleBar** titleBar)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setAttribute(Qt::WA_StyledBackground);
    dialog->setWindowTitle(title);
    BindStyleSheet(dialog, styleSheets);
    auto* root = new QVBoxLayout(dialog);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    auto* bar = new TitleBar(dialog);
    bar->setObjectName(QStringLiteral("titleWidget"));
    bar->setFixedHeight(titleHeight);
    bar->SetTitle(title);
    bar->minimumBtn()->hide();
    bar->maximumBtn()->hide();
    root->addWidget(bar);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(24, 16, 24, 20);
    body->setSpacing(12);
    root->addLayout(body, 1);
    if (titleBar)
        *titleBar = bar;
    return body;
}
