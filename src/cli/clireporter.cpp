#include "cli/clireporter.h"

#include <QJsonDocument>

namespace {
constexpr qint64 kMinRedrawMs = 100;
} // namespace

CliReporter::CliReporter(bool json, std::FILE* out, std::FILE* err) : json_(json), out_(out), err_(err) {}

CliReporter::~CliReporter()
{
    ClearProgress();
}

void CliReporter::Event(const QString& event, QJsonObject fields, const QString& text, bool error)
{
    if (json_) {
        fields.insert(QStringLiteral("event"), event);
        const QByteArray line = QJsonDocument(fields).toJson(QJsonDocument::Compact);
        std::fprintf(out_, "%s\n", line.constData());
        std::fflush(out_);
        return;
    }
    if (text.isEmpty())
        return;
    EraseBlock();
    std::FILE* stream = error ? err_ : out_;
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
    DrawBlock();
}

void CliReporter::Progress(const QStringList& lines, bool force)
{
    if (json_)
        return;
    block_ = lines;
    if (!force && lastDraw_.isValid() && lastDraw_.elapsed() < kMinRedrawMs)
        return;
    EraseBlock();
    DrawBlock();
}

void CliReporter::ClearProgress()
{
    EraseBlock();
    block_.clear();
}

void CliReporter::KeepProgress()
{
    drawn_ = 0;
    block_.clear();
}

void CliReporter::EraseBlock()
{
    if (drawn_ > 0) {
        // Up to the block's first line, then clear to the end of the screen.
        std::fprintf(out_, "\x1b[%dA\r\x1b[J", drawn_);
        std::fflush(out_);
    }
    drawn_ = 0;
}

void CliReporter::DrawBlock()
{
    for (const QString& line : qAsConst(block_))
        std::fprintf(out_, "\r\x1b[2K%s\n", line.toLocal8Bit().constData());
    std::fflush(out_);
    drawn_ = block_.size();
    lastDraw_.start();
}
