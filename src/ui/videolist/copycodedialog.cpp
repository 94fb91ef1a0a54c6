#include "ui/videolist/copycodedialog.h"

#include "ui/common/toast.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

CopyCodeDialog::CopyCodeDialog(const QString& vid, QWidget* parent) : QDialog(parent), vid_(vid)
{
    setObjectName(QStringLiteral("CopyCodeDialog"));
    setWindowTitle(tr("CopyCodeDialog.Title"));
    auto* layout = new QVBoxLayout(this);
    codeBrowser_ = new QTextBrowser(this);
    codeBrowser_->setObjectName(QStringLiteral("codeBrowser"));
    codeBrowser_->setFont(QFont(QStringLiteral("Courier New"), 12));
    codeBrowser_->setPlainText(Snippet(vid));
    layout->addWidget(codeBrowser_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* copy = buttons->addButton(tr("CopyCodeDialog.Copy"), QDialogButtonBox::AcceptRole);
    copy->setObjectName(QStringLiteral("copyButton"));
    buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    connect(copy, &QPushButton::clicked, this, [this] {
        QApplication::clipboard()->setText(codeBrowser_->toPlainText());
        ShowToastInParent(this, tr("CopyCodeDialog.Copied"), 0);
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(640, 360);
}

QString CopyCodeDialog::Snippet(const QString& vid)
{
    return QStringLiteral("<script src=\"//player.orvane.test/script/player.js\"></script>\n"
                          "<div id=\"player\"></div>\n"
                          "<script>\n"
                          "  var player = orvanePlayer({\n"
                          "    wrap: \"#player\",\n"
                          "    width: 800,\n"
                          "    height: 533,\n"
                          "    vid: \"%1\",\n"
                          "    playsafe: \"\", // the credential for playing encrypted videos; see the "
                          "player encryption help\n"
                          "  });\n"
                          "</script>")
        .arg(vid);
}
