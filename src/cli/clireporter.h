#pragma once
// What orvane-upload tells its user: on a terminal, messages and a block of
// progress lines (one per running upload and a total) redrawn in place; else
// one JSON object per line for scripts.

#include <QElapsedTimer>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdio>

class CliReporter
{
public:
    CliReporter(bool json, std::FILE* out = stdout, std::FILE* err = stderr);
    ~CliReporter();

    bool json() const { return json_; }

    // An event: a JSON line, or on a terminal `text` as a line of its own
    // (to stderr when `error`). `fields` need not repeat "event".
    void Event(const QString& event, QJsonObject fields, const QString& text, bool error = false);
    // Replaces the progress block on a terminal; at most ten redraws a second
    // unless `force`. Nothing in JSON mode.
    void Progress(const QStringList& lines, bool force = false);
    // Removes the progress block.
    void ClearProgress();
    // Leaves the block on the screen as it is; later output goes below it.
    void KeepProgress();

private:
    void EraseBlock();
    void DrawBlock();

    bool json_;
    std::FILE* out_;
    std::FILE* err_;
    QStringList block_;
    int drawn_ = 0;
    QElapsedTimer lastDraw_;
};
