#include "ui/videolist/copycodedialog.h"

#include "base/config.h"
#include "ui/common/toast.h"
#include "ui/videolist/dialogframe.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
const char kDefaultPlayerHost[] = "player.orvane.com";

// Colours of the snippet's token kinds.
const char kTag[] = "#800000";
const char kAttr[] = "#ff0000";
const char kValue[] = "#0000ff";
const char kKeyword[] = "#0000ff";
const char kIdent[] = "#001080";
const char kFunction[] = "#795e26";
const char kString[] = "#a31515";
const char kNumber[] = "#098658";
const char kComment[] = "#008000";
const char kPlain[] = "#000000";

struct Run
{
    const char* color;
    QString text;
};

QString Line(const QList<Run>& runs, bool first)
{
    QString html = QStringLiteral("<p style=\"margin:0px; white-space:pre;%1\">")
                       .arg(first ? QStringLiteral(" line-height:20px;") : QString());
    for (const Run& run : runs)
        html += QStringLiteral("<span style=\"font-size:14px; color:%1;\">%2</span>")
                    .arg(QLatin1String(run.color), run.text.toHtmlEscaped());
    return html + QStringLiteral("</p>");
}

QList<Run> Tag(const QString& open, const QString& name, const QString& attr, const QString& value,
               bool close)
{
    QList<Run> runs{{kTag, open}, {kTag, name}};
    if (!attr.isEmpty())
        runs << Run{kPlain, QStringLiteral(" ")} << Run{kAttr, attr} << Run{kPlain, QStringLiteral("=")}
             << Run{kValue, QLatin1Char('"') + value + QLatin1Char('"')};
    runs << Run{kTag, QStringLiteral(">")};
    if (close)
        runs << Run{kTag, QStringLiteral("</")} << Run{kTag, name} << Run{kTag, QStringLiteral(">")};
    return runs;
}

QList<Run> Property(const QString& name, const char* color, const QString& value)
{
    return {{kPlain, QStringLiteral("    ")},
            {kIdent, name},
            {kPlain, QStringLiteral(": ")},
            {color, value},
            {kPlain, QStringLiteral(",")}};
}

// The snippet with the placeholder "{{vid}}".
QString Template(const QString& playerHost)
{
    const QString src = QStringLiteral("//%1/script/player.js").arg(playerHost);
    QList<Run> playsafe = Property(QStringLiteral("playsafe"), kString, QStringLiteral("\"\""));
    playsafe << Run{kPlain, QStringLiteral(" ")}
             << Run{kComment, QStringLiteral("// playsafe: the credential for playing encrypted videos, see "
                                             "https://help.orvane.com/player/encryption")};
    const QList<QList<Run>> lines{
        Tag(QStringLiteral("<"), QStringLiteral("script"), QStringLiteral("src"), src, true),
        Tag(QStringLiteral("<"), QStringLiteral("div"), QStringLiteral("id"), QStringLiteral("player"), true),
        Tag(QStringLiteral("<"), QStringLiteral("script"), QString(), QString(), false),
        {{kPlain, QStringLiteral("  ")},
         {kKeyword, QStringLiteral("var")},
         {kPlain, QStringLiteral(" ")},
         {kIdent, QStringLiteral("player")},
         {kPlain, QStringLiteral(" = ")},
         {kFunction, QStringLiteral("orvanePlayer")},
         {kPlain, QStringLiteral("({")}},
        Property(QStringLiteral("wrap"), kString, QStringLiteral("\"#player\"")),
        Property(QStringLiteral("width"), kNumber, QStringLiteral("800")),
        Property(QStringLiteral("height"), kNumber, QStringLiteral("533")),
        Property(QStringLiteral("vid"), kString, QStringLiteral("\"{{vid}}\"")),
        playsafe,
        {{kPlain, QStringLiteral("  });")}},
        {{kTag, QStringLiteral("</")}, {kTag, QStringLiteral("script")}, {kTag, QStringLiteral(">")}},
    };
    QString html = QStringLiteral("<html><body style=\"font-family:'Courier New'; font-size:12pt;\">");
    for (int i = 0; i < lines.size(); ++i)
        html += Line(lines.at(i), i == 0);
    return html + QStringLiteral("</body></html>");
}
} // namespace

QString CopyCodeDialog::PlayerHost(const Config* config)
{
    const QString host =
        config ? config->value(QStringLiteral("Custom"), QStringLiteral("playerHost")).toString().trimmed()
               : QString();
    return host.isEmpty() ? QString::fromLatin1(kDefaultPlayerHost) : host;
}

QString CopyCodeDialog::RichText(const QString& vid, const QString& playerHost)
{
    QString html = Template(playerHost);
    const QStringList families = QFontDatabase().families();
    QString font;
    if (families.contains(QStringLiteral("Consolas")))
        font = QStringLiteral("Consolas");
    else if (families.contains(QStringLiteral("Microsoft YaHei")))
        font = QStringLiteral("'Microsoft YaHei'");
    if (!font.isEmpty())
        html.replace(QStringLiteral("font-family:'Courier New';"),
                     QStringLiteral("font-family:%1;").arg(font));
    // The vid comes from the server: escaped so that it stays text.
    return html.replace(QStringLiteral("{{vid}}"), vid.toHtmlEscaped());
}

CopyCodeDialog::CopyCodeDialog(const QString& vid, const Config* config, QWidget* parent)
    : QDialog(parent), vid_(vid)
{
    setObjectName(QStringLiteral("CopyCodeDialog"));
    QVBoxLayout* body =
        BuildDialogFrame(this, tr("CopyCodeDialog.Title"), {QStringLiteral("CopyCodeDialog.qss")});
    codeBrowser_ = new QTextBrowser(this);
    codeBrowser_->setObjectName(QStringLiteral("codeBrowser"));
    codeBrowser_->setLineWrapMode(QTextEdit::NoWrap);
    codeBrowser_->setHtml(RichText(vid, PlayerHost(config)));
    body->addWidget(codeBrowser_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* copy = new QPushButton(tr("CopyCodeDialog.Copy"), this);
    copy->setObjectName(QStringLiteral("copyButton"));
    copy->setFixedHeight(32);
    buttons->addWidget(copy);
    body->addLayout(buttons);
    connect(copy, &QPushButton::clicked, this, [this] {
        QApplication::clipboard()->setText(codeBrowser_->toPlainText());
        ShowToastInParent(this, tr("CopyCodeDialog.Copied"), 0);
    });
    resize(720, 400);
}
