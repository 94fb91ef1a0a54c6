// Build checks over the source tree: every text key the code translates has a
// finished Simplified Chinese translation, and every style sheet the code
// loads is present in themes/.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
using Key = QPair<QString, QString>; // context, source

struct TsContent
{
    QSet<Key> all;
    QSet<Key> finished;
    QStringList unfinished;
};

bool ReadTs(const QString& path, TsContent* out, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QXmlStreamReader xml(&file);
    QString context;
    QString source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const QStringRef name = xml.name();
        if (name == QLatin1String("context")) {
            context.clear();
        } else if (name == QLatin1String("name")) {
            context = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (name == QLatin1String("message")) {
            source.clear();
        } else if (name == QLatin1String("source")) {
            source = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (name == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QStringLiteral("type")).toString();
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            const Key key(context, source);
            out->all.insert(key);
            if (type == QLatin1String("unfinished"))
                out->unfinished << context + QStringLiteral(" / ") + source;
            else if (type.isEmpty() && !text.isEmpty())
                out->finished.insert(key);
        }
    }
    if (xml.hasError()) {
        *error = path + QStringLiteral(": ") + xml.errorString();
        return false;
    }
    return true;
}

QString SourceDir()
{
    return QStringLiteral(ORVANE_SOURCE_DIR);
}
} // namespace

class TstShellTranslations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString extracted = tmp.filePath(QStringLiteral("used.ts"));
        QProcess lupdate;
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        lupdate.start(QStringLiteral(ORVANE_LUPDATE),
                      {QStringLiteral("-silent"), QStringLiteral("-no-obsolete"),
                       QStringLiteral("-locations"), QStringLiteral("none"), QStringLiteral("-extensions"),
                       QStringLiteral("cpp,h,ui"), SourceDir() + QStringLiteral("/src"),
                       QStringLiteral("-ts"), extracted});
        QVERIFY2(lupdate.waitForFinished(90000), "lupdate did not finish");
        QVERIFY2(lupdate.exitCode() == 0, lupdate.readAll().constData());
        QString error;
        QVERIFY2(ReadTs(extracted, &used_, &error), qPrintable(error));
        QVERIFY2(!used_.all.isEmpty(), "no translated text found in the sources");
    }

    // Every key the code uses, and every entry of the translation file, has a
    // finished text.
    void everyKeyHasFinishedChineseText()
    {
        TsContent translated;
        QString error;
        QVERIFY2(ReadTs(SourceDir() + QStringLiteral("/translations/zh_CN.ts"), &translated, &error),
                 qPrintable(error));
        QVERIFY2(translated.unfinished.isEmpty(),
                 qPrintable(translated.unfinished.join(QStringLiteral(", "))));
        QCOMPARE(translated.finished.size(), translated.all.size());
        QStringList missing;
        for (const Key& key : qAsConst(used_.all)) {
            if (!translated.finished.contains(key))
                missing << key.first + QStringLiteral(" / ") + key.second;
        }
        missing.sort();
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("keys without a finished zh_CN translation:\n  ") +
                            missing.join(QStringLiteral("\n  "))));
    }

    void keysAreTheFixedOnes_data()
    {
        QTest::addColumn<QStringList>("fixed");
        QTest::addColumn<QStringList>("own");
        QFile file(SourceDir() + QStringLiteral("/tests/shell/quotedkeys.txt"));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
        const QRegularExpression keyLine(QStringLiteral("^\\s+(\\+\\s*)?\"(.*)\"$"));
        QString context;
        QStringList fixed, own;
        auto addRow = [&] {
            if (!context.isEmpty())
                QTest::newRow(qPrintable(context)) << fixed << own;
            fixed.clear();
            own.clear();
        };
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        for (const QString& line : lines) {
            if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const QRegularExpressionMatch key = keyLine.match(line);
            if (!key.hasMatch()) {
                addRow();
                context = line.trimmed();
            } else {
                (key.capturedLength(1) > 0 ? own : fixed) << key.captured(2);
            }
        }
        addRow();
    }

    // Every key of the context is used with exactly the text it is fixed to, and
    // the context uses no key outside the list.
    void keysAreTheFixedOnes()
    {
        QFETCH(QStringList, fixed);
        QFETCH(QStringList, own);
        const QString context = QString::fromUtf8(QTest::currentDataTag());
        QStringList unused, unknown;
        for (const QString& key : fixed) {
            if (!used_.all.contains(Key(context, key)))
                unused << key;
        }
        for (const Key& key : used_.all) {
            if (key.first == context && !fixed.contains(key.second) && !own.contains(key.second))
                unknown << key.second;
        }
        unknown.sort();
        QVERIFY2(unused.isEmpty(), qPrintable(QStringLiteral("fixed keys the code does not use: ") +
                                              unused.join(QStringLiteral(" | "))));
        QVERIFY2(unknown.isEmpty(), qPrintable(QStringLiteral("keys not in tests/shell/quotedkeys.txt: ") +
                                               unknown.join(QStringLiteral(" | "))));
    }

    void everyNamedStyleSheetExists()
    {
        const QRegularExpression named(QStringLiteral("\"([A-Za-z0-9_]+\\.qss)\""));
        QSet<QString> names;
        QDirIterator it(SourceDir() + QStringLiteral("/src"),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            auto matches = named.globalMatch(text);
            while (matches.hasNext())
                names.insert(matches.next().captured(1));
        }
        // The windows of this area at least must be among them.
        for (const char* expected :
             {"System.qss", "TitleBar.qss", "LoginDialog.qss", "MainWindow.qss", "Toast.qss",
              "MessageBox.qss", "AboutDialog.qss", "PreferenceDialog.qss"})
            QVERIFY2(names.contains(QString::fromLatin1(expected)), expected);
        QStringList missing;
        for (const QString& name : names) {
            if (!QFile::exists(SourceDir() + QStringLiteral("/themes/") + name))
                missing << name;
        }
        missing.sort();
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("missing style sheets: ") + missing.join(QStringLiteral(", "))));
    }

    void catalogsBesideTheProgramLoad_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("chinese");
        QTest::newRow("zh_CN.qm") << "LoginDialog"
                                  << "Login.LoginButton" << QString();
        QTest::newRow("qt_zh_CN.qm") << "QFileDialog"
                                     << "Back" << QStringLiteral("后退");
        QTest::newRow("widgets.qm") << "QFileDialog"
                                    << "Back" << QStringLiteral("后退");
    }

    // The three catalogs the program loads at start are produced by the build.
    void catalogsBesideTheProgramLoad()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(QString, chinese);
        const QString bin = qEnvironmentVariable("ORVANE_BIN_DIR");
        QVERIFY2(!bin.isEmpty(), "run under CTest, which names the program's folder");
        QTranslator translator;
        const QString path =
            bin + QStringLiteral("/translations/") + QString::fromUtf8(QTest::currentDataTag());
        QVERIFY2(translator.load(path), qPrintable(path));
        const QString text = translator.translate(context.toUtf8().constData(), source.toUtf8().constData());
        QVERIFY2(!text.isEmpty() && text != source, qPrintable(text));
        if (!chinese.isEmpty())
            QCOMPARE(text, chinese);
    }

private:
    TsContent used_; // what the code passes to tr(), by context
};

QTEST_GUILESS_MAIN(TstShellTranslations)
#include "tst_shelltranslations.moc"
