#include "ui/videolist/vidtextbrowser.h"

#include "ui/common/toast.h"

#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextStream>
#include <QtConcurrent>

namespace {
const QChar kObject(0xFFFC);

QString TagHtml(const QString& vid)
{
    return QStringLiteral(
               "<div style='margin:6px 6px 6px 0px;'><span style='padding-left:2px;background-color: "
               "#F6F8FB; vertical-align: middle;'><font style='color:#668196;font-size:14px;font-weight:"
               "normal;vertical-align: middle;'>&nbsp;%1</font><a href='%2'><img "
               "src=':/image/videoList/icon_delete.png' width='14' height='14' style='vertical-align: "
               "middle;'></a></span></div>&nbsp;")
        .arg(vid.toHtmlEscaped(), vid.toHtmlEscaped());
}

// Tip texts carry their numbers only where the translation has a place for them.
QString Fill(const QString& text, int a, int b = -1)
{
    QString out = text.contains(QLatin1String("%1")) ? text.arg(a) : text;
    if (b >= 0 && out.contains(QLatin1String("%2")))
        out = out.arg(b);
    return out;
}

// A line that is no vid is cut at the first separator that splits it.
void ScanLine(const QString& line, VidTextBrowser::FileScan* scan, int keep)
{
    const auto take = [&](const QString& vid) {
        if (scan->vids.size() < keep)
            scan->vids.append(vid);
        ++scan->total;
    };
    if (VidTextBrowser::IsVid(line))
        return take(line);
    for (const char* sep : {",", ";", " ", "\r\n", "\n", "\r"}) {
        const QStringList parts = line.split(QLatin1String(sep));
        if (parts.size() < 2)
            continue;
        for (const QString& part : parts) {
            if (VidTextBrowser::IsVid(part))
                take(part);
            else
                ++scan->errors;
        }
        return;
    }
    ++scan->errors;
}
} // namespace

VidTextBrowser::VidTextBrowser(QWidget* parent) : QTextBrowser(parent)
{
    setReadOnly(false);
    setOpenLinks(false);
    setUndoRedoEnabled(false);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) { RemoveVid(url.toString()); });
    connect(this, &QTextEdit::textChanged, this, &VidTextBrowser::SyncWithDocument);
    connect(&watcher_, &QFutureWatcher<FileScan>::finished, this, &VidTextBrowser::OnImportDone);
}

bool VidTextBrowser::IsVid(const QString& text)
{
    if (text.size() != 34)
        return false;
    const QStringList parts = text.split(QLatin1Char('_'));
    return parts.size() == 2 && parts.first().size() == 32;
}

VidTextBrowser::FileScan VidTextBrowser::ScanFiles(const QStringList& paths, int keep)
{
    FileScan scan;
    for (const QString& path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            ++scan.errors;
            continue;
        }
        QTextStream in(&file);
        QString line;
        while (in.readLineInto(&line))
            ScanLine(line, &scan, keep);
    }
    return scan;
}

VidTextBrowser::Added VidTextBrowser::TryAdd(const QString& vid)
{
    if (!IsVid(vid))
        return Added::Invalid;
    if (vids_.contains(vid))
        return Added::Duplicate;
    if (vids_.size() >= kMaxVids)
        return Added::Full;
    vids_.append(vid);
    return Added::Yes;
}

bool VidTextBrowser::AddVid(const QString& vid)
{
    switch (TryAdd(vid)) {
    case Added::Invalid:
        ShowTip(tr("Input Correct Vid"));
        return false;
    case Added::Full:
        ShowTip(Fill(tr("Input more than 100 vids "), kMaxVids));
        return false;
    case Added::Duplicate:
        ShowTip(tr("The Vid Exist"));
        return false;
    case Added::Yes:
        break;
    }
    Render();
    emit SignalCount(vids_.size());
    return true;
}

void VidTextBrowser::RemoveVid(const QString& vid)
{
    if (!vids_.removeOne(vid))
        return;
    Render();
    emit SignalCount(vids_.size());
}

void VidTextBrowser::ShowTip(const QString& text)
{
    lastTip_ = text;
    ShowToastInParent(this, text);
}

void VidTextBrowser::Render(const QString& typed)
{
    rendering_ = true;
    QString html;
    for (const QString& vid : vids_)
        html += TagHtml(vid);
    setHtml(html + typed.toHtmlEscaped());
    moveCursor(QTextCursor::End);
    rendering_ = false;
}

// The text after the last tag is what the user typed.
void VidTextBrowser::CommitTyped()
{
    const QStringList parts = toPlainText().trimmed().split(kObject);
    const QString typed = parts.last().trimmed();
    if (typed.isEmpty())
        return;
    if (!AddVid(typed))
        Render(typed);
}

// A tag deleted from the keyboard leaves the document without its image.
void VidTextBrowser::SyncWithDocument()
{
    if (rendering_)
        return;
    QStringList shown;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat() && it.fragment().charFormat().isAnchor())
                shown.append(it.fragment().charFormat().anchorHref());
    if (shown.size() == vids_.size())
        return;
    QStringList kept;
    for (const QString& vid : vids_)
        if (shown.contains(vid))
            kept.append(vid);
    vids_ = kept;
    QMetaObject::invokeMethod(
        this, [this] { Render(toPlainText().trimmed().split(kObject).last().trimmed()); },
        Qt::QueuedConnection);
    emit SignalCount(vids_.size());
}

void VidTextBrowser::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        CommitTyped();
        return;
    }
    QTextBrowser::keyPressEvent(event);
}

bool VidTextBrowser::canInsertFromMimeData(const QMimeData*) const
{
    return true;
}

void VidTextBrowser::insertFromMimeData(const QMimeData* source)
{
    if (source->hasUrls()) {
        QStringList paths;
        for (const QUrl& url : source->urls())
            if (url.isLocalFile())
                paths.append(url.toLocalFile());
        if (!paths.isEmpty())
            return ImportFiles(paths);
    }
    if (!source->hasText())
        return ShowTip(tr("Drag File Error"));
    const QStringList parts =
        source->text().split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts);
    for (const QString& part : parts)
        AddVid(part);
}

void VidTextBrowser::ImportFiles(const QStringList& paths)
{
    if (watcher_.isRunning())
        return;
    // Enough vids are kept to fill the list even when all entered ones recur.
    const int keep = kMaxVids + vids_.size();
    watcher_.setFuture(QtConcurrent::run([paths, keep] { return ScanFiles(paths, keep); }));
}

void VidTextBrowser::OnImportDone()
{
    const FileScan scan = watcher_.result();
    int added = 0, duplicates = 0, overflow = scan.total - scan.vids.size();
    for (const QString& vid : scan.vids) {
        switch (TryAdd(vid)) {
        case Added::Yes:
            ++added;
            break;
        case Added::Duplicate:
            ++duplicates;
            break;
        default:
            ++overflow;
            break;
        }
    }
    if (added) {
        Render();
        emit SignalCount(vids_.size());
    }
    if (overflow == 0) {
        if (scan.errors == 0 || added == 0) {
            if (added)
                ShowTip(Fill(tr("Input some vids"), added));
            else if (duplicates)
                ShowTip(Fill(tr("Input the same vids"), duplicates));
            else
                ShowTip(tr("Input none vids"));
        } else {
            ShowTip(Fill(tr("Input some vids, and some error vids"), added, scan.errors));
        }
    } else if (scan.errors == 0) {
        ShowTip(Fill(tr("Input more than 100 vids "), kMaxVids));
    } else {
        ShowTip(Fill(tr("Input some vids, and some error vids"), added, scan.errors));
    }
    emit SignalImportDone();
}
