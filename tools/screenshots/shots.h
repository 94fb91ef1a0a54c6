#pragma once
// What every screenshot program shares. The programs are developer tools,
// not tests: each shows some of the client's windows against the platform
// server started in-process and saves PNGs for reviewing the look
// (scripts/screenshots-*). They run under Xvfb from bin/, beside the client's
// themes/ and translations/ folders.

#include <QApplication>
#include <QString>
#include <QTranslator>

class QWidget;

class Shots
{
public:
    // The application with the client's images, its Chinese texts and its
    // style sheet. PNGs go into the folder named by the first argument (the
    // current folder without one).
    Shots(int& argc, char** argv);

    // Saves a grab of `widget` once pending paints have settled.
    bool Save(QWidget* widget, const QString& name);
    // Saves the whole screen, for menus and windows of the desktop.
    bool SaveScreen(const QString& name);
    // Whether a wait for `state` ended in it; a miss fails the run.
    bool Reached(bool reached, const char* state);
    // A set-up step failed: says what and gives main's exit code.
    static int Fail(const char* what, const QString& error);
    // The exit code: 0 when every picture was saved.
    int ExitCode() const { return ok_ ? 0 : 1; }

private:
    bool Saved(bool ok, const QString& file);

    QApplication app_;
    QTranslator translator_;
    QString out_;
    bool ok_ = true;
};
