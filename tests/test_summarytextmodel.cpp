// The summary text as the box reads it, without a box (GUILESS): a text of its own split at its
// line breaks, and shared lines with an ending that read exactly as the text they make.
#include "deletelist/DrawnFiles.h"
#include "deletelist/SummaryText.h"
#include "deletelist/SummaryTextModel.h"

#include <QRandomGenerator>
#include <QTest>
#include <memory>

using Delete1::SummaryTextModel;

namespace {

QStringList paths(int count) {
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("/home/u/Bilder/Urlaub 2019/IMG_%1.jpg").arg(i, 6, 10, QChar('0'));
    return list;
}

} // namespace

class SummaryTextModelTest : public QObject {
    Q_OBJECT

private slots:
    void textIsKeptAndSplitIntoLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty") << QString() << QStringList({""});
        QTest::newRow("CR LF, last line included") << "a\r\nbb\r\n" << QStringList({"a", "bb", ""});
        QTest::newRow("no final break") << "a\r\nb" << QStringList({"a", "b"});
        QTest::newRow("LF and lone CR break too")
            << "a\nb\rc\r\r\nd" << QStringList({"a", "b", "c", "", "d"});
        QTest::newRow("filter form, bare paths") << "/x/a b\r\n/x/c\r\n"
                                                 << QStringList({"/x/a b", "/x/c", ""});
    }
    void textIsKeptAndSplitIntoLines() {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        Delete1::SummaryTextModel box;
        box.setText(QStringLiteral("something else"));
        box.setText(text);
        QCOMPARE(box.text(), text);
        QCOMPARE(box.size(), text.size());
        QStringList shown;
        for (qsizetype line = 0; line < box.lineCount(); ++line)
            shown << box.lineText(line);
        QCOMPARE(shown, lines);
    }

    void sharedLinesReadAsTheSummaryText_data() {
        QTest::addColumn<bool>("drawn");
        QTest::newRow("texts") << false;
        QTest::newRow("drawn files") << true;
    }
    void sharedLinesReadAsTheSummaryText() {
        // The rebuild hands the rows over with their ending; every reading of the box must be
        // the text the rows make, the same as when that text is set whole.
        QFETCH(bool, drawn);
        const QString odd = QString::fromUtf8("/tmp/\u00fcn\u00ef \U0001F600.png");
        const QStringList rows = QStringList{odd} + paths(50);
        // The same rows as drawn files: the odd one drawn first from the second listing, the
        // others in order from the first.
        auto album =
            std::make_shared<Delete1::FolderFiles>(QStringLiteral("/home/u/Bilder/Urlaub 2019/"));
        for (int i = 0; i < 50; ++i)
            album->append(QStringLiteral("IMG_%1.jpg").arg(i, 6, 10, QChar('0')).toUtf8());
        auto tmp = std::make_shared<Delete1::FolderFiles>(QStringLiteral("/tmp/"));
        tmp->append(QByteArrayView("\xC3\xBCn\xC3\xAF \xF0\x9F\x98\x80.png"));
        std::vector<qsizetype> positions{50};
        for (qsizetype i = 0; i < 50; ++i)
            positions.push_back(i);
        const Delete1::DrawnFiles files({album, nullptr, tmp}, positions);

        const QString summary = Delete1::summaryText(rows);
        Delete1::SummaryTextModel shared;
        if (drawn)
            shared.setLines(files, QStringLiteral(" will be deleted."));
        else
            shared.setLines(rows, QStringLiteral(" will be deleted."));
        Delete1::SummaryTextModel whole;
        whole.setText(summary);
        QCOMPARE(shared.size(), summary.size());
        QCOMPARE(shared.lineCount(), rows.size() + 1);
        QCOMPARE(whole.lineCount(), rows.size() + 1);
        QCOMPARE(shared.longestLine(), 1); // the first path under the album folder
        for (qsizetype line = 0; line < shared.lineCount(); ++line) {
            QCOMPARE(shared.lineStart(line), whole.lineStart(line));
            QCOMPARE(shared.lineText(line), whole.lineText(line));
        }
        auto* random = QRandomGenerator::global();
        for (int i = 0; i < 200; ++i) {
            const qsizetype from = random->bounded(int(summary.size()) + 1);
            const qsizetype to = from + random->bounded(int(summary.size() - from) + 1);
            QCOMPARE(shared.textRange(from, to), summary.mid(from, to - from));
        }
        QCOMPARE(shared.text(), summary);
    }

    void settingTheSameTextAgainChangesNothing() {
        SummaryTextModel model;
        QVERIFY(model.setText(QStringLiteral("a\r\nb")));
        QVERIFY(!model.setText(QStringLiteral("a\r\nb")));
        // Shared lines that read the same are still another form: setting the text is a change.
        model.setLines({QStringLiteral("a")}, QString());
        QVERIFY(model.setText(QStringLiteral("a\r\n")));
    }

    void offsetsInsideALineBreakStandForTheLineEnd_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("offset");
        QTest::addColumn<qsizetype>("clamped");
        QTest::newRow("between CR and LF")
            << QStringLiteral("ab\r\ncd") << qsizetype(3) << qsizetype(2);
        QTest::newRow("at the next line's start")
            << QStringLiteral("ab\r\ncd") << qsizetype(4) << qsizetype(4);
        QTest::newRow("past the end")
            << QStringLiteral("ab\r\ncd") << qsizetype(99) << qsizetype(6);
        QTest::newRow("before the start") << QStringLiteral("ab") << qsizetype(-5) << qsizetype(0);
    }
    void offsetsInsideALineBreakStandForTheLineEnd() {
        QFETCH(QString, text);
        QFETCH(qsizetype, offset);
        QFETCH(qsizetype, clamped);
        SummaryTextModel model;
        model.setText(text);
        QCOMPARE(model.clampOffset(offset), clamped);
    }

    void sharedLinesShowBreaksInsideAPathAsReplacementCharacters() {
        // A name may hold a line break; shown on one line, it must not split the line.
        SummaryTextModel model;
        model.setLines({QStringLiteral("/x/a\nb")}, QStringLiteral(" will be deleted."));
        QCOMPARE(model.lineCount(), 2);
        QCOMPARE(model.lineText(0), QStringLiteral("/x/a\nb will be deleted."));
        QCOMPARE(model.shownLine(0), QStringLiteral("/x/a\uFFFDb will be deleted."));
    }

    void longestLineIsFoundInBothForms() {
        SummaryTextModel model;
        model.setText(QStringLiteral("ab\r\nabcd\nabc"));
        QCOMPARE(model.longestLine(), 1);
        model.setLines({QStringLiteral("a"), QStringLiteral("a"), QStringLiteral("abc")},
                       QStringLiteral("!"));
        QCOMPARE(model.longestLine(), 2);
    }
};

QTEST_GUILESS_MAIN(SummaryTextModelTest)
#include "test_summarytextmodel.moc"
