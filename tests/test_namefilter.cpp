// The name filters' row test, scan and summary text, without a window.
#include "deletelist/NameFilter.h"

#include <QRandomGenerator>
#include <QTest>
#include <stdexcept>

using Main::NameFilterKind;

namespace {

// The test as it reads: both texts lower-cased, then a plain search.
bool lowerCasedContains(const QString& row, const QString& text) {
    return row.toLower().contains(text.toLower(), Qt::CaseSensitive);
}

} // namespace

class NameFilterTest : public QObject {
    Q_OBJECT

private slots:
    void rowTest_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("found");
        QTest::newRow("capitals in the text") << "/p/café.jpg"
                                              << "CAFÉ" << true;
        QTest::newRow("capitals in the row") << "/P/CAFÉ.JPG"
                                             << "café" << true;
        QTest::newRow("ascii both ways") << "/Photos/IMG_1.jpg"
                                         << "photos/img" << true;
        QTest::newRow("a blank") << "/p/a b"
                                 << " " << true;
        QTest::newRow("no blank") << "/p/ab"
                                  << " " << false;
        QTest::newRow("no wildcards") << "/p/axb"
                                      << "a*b" << false;
        QTest::newRow("a star is a star") << "/p/a*b"
                                          << "A*B" << true;
        QTest::newRow("longer than the row") << "/p"
                                             << "/p/q" << false;
        QTest::newRow("after a partial match") << "/aaab"
                                               << "AAB" << true;
        QTest::newRow("at the very end") << "/p/x.JPG"
                                         << ".jpg" << true;
        QTest::newRow("cut off at the end") << "/p/x.jp"
                                            << ".jpg" << false;
        QTest::newRow("empty text") << "/p"
                                    << "" << true;
        // İ lowers to i and a combining dot above: a plain i finds it, İ does not find a plain i.
        QTest::newRow("dotted I, plain i") << "/p/İzmir"
                                           << "i" << true;
        QTest::newRow("dotted I both") << "/p/İzmir"
                                       << "İZ" << true;
        QTest::newRow("plain i, dotted I") << "/p/izmir"
                                           << "İ" << false;
        // The Kelvin sign lowers to an ASCII k, in the row and in the text.
        QTest::newRow("kelvin sign in the row") << "/p/\u212Aelvin"
                                                << "kel" << true;
        QTest::newRow("kelvin sign in the text") << "/p/kelvin"
                                                 << "\u212A" << true;
        QTest::newRow("capital sigma is not final sigma") << "/p/ΟΔΟΣ"
                                                          << "ς" << false;
        QTest::newRow("sharp s is not ss") << "/p/Straße"
                                           << "STRASSE" << false;
        QTest::newRow("outside the BMP") << "/p/\U00010400.txt"
                                         << "\U00010428" << true;
        QTest::newRow("a lone surrogate stays") << QString("/p/" + QString(QChar(0xD801)) + "X")
                                                << QString(QChar(0xD801)) + "x" << true;
    }
    void rowTest() {
        QFETCH(QString, row);
        QFETCH(QString, text);
        QFETCH(bool, found);
        QCOMPARE(Main::NameMatcher(text).isFoundIn(row), found);
        QCOMPARE(lowerCasedContains(row, text), found);
    }

    void rowTestAgreesWithLowerCasedSearchOnRandomTexts_data() {
        QTest::addColumn<QString>("letters");
        // Letters whose lower case is special, mixed with plain ones; and plain ASCII alone.
        QTest::newRow("special") << QStringLiteral("aAbBéÉİi\u0307\u212AkK ß/.ΣσςÅå\U00010400");
        QTest::newRow("ascii") << QStringLiteral("aAbB /.");
    }
    void rowTestAgreesWithLowerCasedSearchOnRandomTexts() {
        QFETCH(QString, letters);
        auto random = [&](QRandomGenerator& generator, int maxLength) {
            QString text;
            const int length = generator.bounded(maxLength + 1);
            for (int i = 0; i < length; ++i) {
                const int at = generator.bounded(int(letters.size()));
                // Keep surrogate pairs whole.
                if (letters.at(at).isLowSurrogate())
                    text += letters.mid(at - 1, 2);
                else if (letters.at(at).isHighSurrogate())
                    text += letters.mid(at, 2);
                else
                    text += letters.at(at);
            }
            return text;
        };
        QRandomGenerator generator(20261207);
        for (int round = 0; round < 20000; ++round) {
            const QString row = random(generator, 40);
            const QString text = random(generator, 5);
            QVERIFY2(Main::NameMatcher(text).isFoundIn(row) == lowerCasedContains(row, text),
                     qPrintable(row + " | " + text));
        }
    }

    void everyLetterLowersAsQtLowersIt() {
        std::u16string lowered;
        for (char32_t code = 0; code <= 0x10FFFF; ++code) {
            const QString letter = QString::fromUcs4(&code, 1);
            lowered.clear();
            Main::appendLowerCase(letter, lowered);
            const QString expected = letter.toLower();
            QVERIFY2(QStringView(lowered) == QStringView(expected),
                     qPrintable(QString::number(code, 16)));
        }
    }

    void keepsTheOtherRowsInOrderBothWays() {
        const QStringList rows = {"/t/5", "/t/X1", "/t/3", "/t/x2", "/t/x2", "/t/1"};
        QCOMPARE(Main::keptRows(rows, "x", NameFilterKind::RemoveContaining),
                 QStringList({"/t/5", "/t/3", "/t/1"}));
        QCOMPARE(Main::keptRows(rows, "x", NameFilterKind::RemoveNotContaining),
                 QStringList({"/t/X1", "/t/x2", "/t/x2"}));
    }

    // "?" and "*" are letters like any other, never wildcards: each text below would match its
    // row as a pattern (anchored or not) and does not as text; and the row that holds the
    // letters themselves matches.
    void questionMarkAndStarAreLetters_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("found");
        QTest::newRow("? for one letter") << "axb"
                                          << "a?b" << false;
        QTest::newRow("? for one letter, not ASCII") << "éxb"
                                                     << "É?B" << false;
        QTest::newRow("? alone") << "x"
                                 << "?" << false;
        QTest::newRow("* for a run") << "axxb"
                                     << "a*b" << false;
        QTest::newRow("* for nothing") << "ab"
                                       << "a*b" << false;
        QTest::newRow("* alone") << "abc"
                                 << "*" << false;
        QTest::newRow("* for a run, not ASCII") << "éxxb"
                                                << "é*B" << false;
        QTest::newRow("a question mark") << "/p/a?b"
                                         << "A?B" << true;
        QTest::newRow("a question mark, not ASCII") << "/p/é?b"
                                                    << "É?B" << true;
        QTest::newRow("a star") << "/p/x*"
                                << "*" << true;
    }
    void questionMarkAndStarAreLetters() {
        QFETCH(QString, row);
        QFETCH(QString, text);
        QFETCH(bool, found);
        QCOMPARE(Main::NameMatcher(text).isFoundIn(row), found);
        const QStringList rows{row};
        QCOMPARE(Main::keptRows(rows, text, NameFilterKind::RemoveContaining)->size(),
                 found ? 0 : 1);
        QCOMPARE(Main::keptRows(rows, text, NameFilterKind::RemoveNotContaining)->size(),
                 found ? 1 : 0);
    }

    void aFailingRowTestCountsAsMatching() {
        QStringList failures;
        Main::RowScanHooks hooks;
        hooks.testFailed = [&](const std::exception& failure) { failures << failure.what(); };
        const auto removes = [](const QString& row) {
            if (row.endsWith('!'))
                throw std::runtime_error(("cannot test " + row).toStdString());
            return row.contains('x');
        };
        QCOMPARE(Main::keptRowsWhere({"a", "b!", "x", "c", "d!"}, removes, hooks),
                 QStringList({"a", "c"}));
        QCOMPARE(failures, QStringList({"cannot test b!", "cannot test d!"}));
    }

    void yieldsBeforeTheFirstRowThenByTime() {
        QStringList rows;
        for (int i = 0; i < 1000; ++i)
            rows << QStringLiteral("/p/%1").arg(i);
        int yields = 0;
        Main::RowScanHooks hooks;
        hooks.yield = [&] { return ++yields > 0; };
        hooks.yieldIntervalMs = 3'600'000;
        QCOMPARE(Main::keptRows(rows, "/", NameFilterKind::RemoveNotContaining, hooks), rows);
        QCOMPARE(yields, 1);
        yields = 0;
        hooks.yieldIntervalMs = 0;
        QCOMPARE(Main::keptRows(rows, "/", NameFilterKind::RemoveNotContaining, hooks), rows);
        QVERIFY(yields > 1 && yields < 1000);
        yields = 0;
        QCOMPARE(Main::keptRows({}, "/", NameFilterKind::RemoveContaining, hooks), QStringList());
        QCOMPARE(yields, 0);
    }

    void aYieldCanAbandonTheScan() {
        int tested = 0;
        Main::RowScanHooks hooks;
        hooks.yield = [] { return false; };
        const auto removes = [&](const QString&) { return ++tested > 0; };
        QVERIFY(!Main::keptRowsWhere({"a", "b"}, removes, hooks).has_value());
        QCOMPARE(tested, 0);
    }

    void plainSummaryIsEachPathAndCrLf() {
        QCOMPARE(Main::plainSummaryText({"/a b/c.txt", "/d", "/ü"}).toUtf8(),
                 QByteArray("/a b/c.txt\r\n/d\r\n/\xC3\xBC\r\n"));
        QCOMPARE(Main::plainSummaryText({}), QString());
    }
};

QTEST_GUILESS_MAIN(NameFilterTest)
#include "test_namefilter.moc"
