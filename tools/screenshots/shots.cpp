#include "shots.h"

#include "ui/common/theme.h"
#include "ui/resources.h"

#include <QDir>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <cstdio>

Shots::Shots(int& argc, char** argv)
    : app_(argc, argv), out_(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath())
{
    InitOrvaneResources();
    QDir().mkpath(out_);
    if (translator_.load(QCoreApplication::applicationDirPath() + QStringLiteral("/translations/zh_CN.qm")))
        QCoreApplication::installTranslator(&translator_);
    app_.setStyleSheet(Theme::Load({QStringLiteral("System.qss"), QStringLiteral("TitleBar.qss")}));
    app_.setApplicationDisplayName(QCoreApplication::translate("Application", "OrvaneUploadClient"));
}

bool Shots::Save(QWidget* widget, const QString& name)
{
    QTest::qWait(300);
    const QString file = QDir(out_).filePath(name);
    return Saved(widget->grab().save(file), file);
}

bool Shots::SaveScreen(const QString& name)
{
    QTest::qWait(400);
    const QString file = QDir(out_).filePath(name);
    return Saved(QGuiApplication::primaryScreen()->grabWindow(0).save(file), file);
}

bool Shots::Reached(bool reached, const char* state)
{
    if (!reached)
        std::fprintf(stderr, "FAILED waiting for %s\n", state);
    ok_ = ok_ && reached;
    return reached;
}

int Shots::Fail(const char* what, const QString& error)
{
    std::fprintf(stderr, "%s failed: %s\n", what, qPrintable(error));
    return 1;
}

bool Shots::Saved(bool ok, const QString& file)
{
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(file));
    ok_ = ok_ && ok;
    return ok;
}
