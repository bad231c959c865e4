// The summary box: its text exactly as set, its lines, selection and copy with mouse and keys,
// scrolling, and what assistive technology reads from it.
#include "SummaryBox.h"
#include "TestSupport.h"
#include "deletelist/DeleteList.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

namespace {

QStringList paths(int count) {
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral(
                    "/home/u/Bilder/Urlaub an der Ostsee im Sommer 2019 mit der Familie/IMG_%1.jpg")
                    .arg(i, 6, 10, QChar('0'));
    return list;
}

// A shown box of the designed size, with the focus.
struct Box {
    QWidget window;
    SummaryBox* box = new SummaryBox(&window);
    Box() {
        window.resize(520, 200);
        box->setGeometry(16, 18, 487, 148);
        window.show();
        box->setFocus();
    }
    bool ready() { return QTest::qWaitForWindowActive(&window); }
    // The middle of the character at an offset, in the viewport.
    QPoint at(qsizetype offset) const { return box->characterRect(offset).center(); }
};

} // namespace

class SummaryBoxTest : public QObject {
    Q_OBJECT

private slots:
    void mouseSelectionCopiesTheRangeWithItsLineEnds() {
        Box b;
        QVERIFY(b.ready());
        b.box->setText(Delete1::summaryText({"/a/one", "/a/two", "/a/three", "/a/four"}));
        const qsizetype line1 = b.box->lineStart(1);
        const qsizetype line3 = b.box->lineStart(3);
        // From the first character of the second line to the first of the fourth.
        QTest::mousePress(b.box->viewport(), Qt::LeftButton, {}, b.at(line1) - QPoint(2, 0));
        QTest::mouseMove(b.box->viewport(), b.at(line3) - QPoint(2, 0));
        QTest::mouseRelease(b.box->viewport(), Qt::LeftButton, {}, b.at(line3) - QPoint(2, 0));
        const QString expected =
            QStringLiteral("/a/two will be deleted.\r\n/a/three will be deleted.\r\n");
        QCOMPARE(b.box->selectedText(), expected);
        QApplication::clipboard()->clear();
        QTest::keyClick(b.box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), expected);
        // Shift and a click extend the selection from the same anchor.
        QTest::mouseClick(b.box->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          b.at(line1 + 3) - QPoint(2, 0));
        QCOMPARE(b.box->selectedText(), QStringLiteral("/a/"));
    }

    void keyboardSelectsAndCopiesAll() {
        Box b;
        QVERIFY(b.ready());
        const QStringList rows = paths(1000);
        b.box->setLines(rows, QStringLiteral(" will be deleted."));
        // Shift+Down twice from the start selects the first two lines, line ends included.
        QTest::keyClick(b.box, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(b.box, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(b.box->selectedText(), Delete1::summaryText(rows.mid(0, 2)));
        QTest::keyClick(b.box, Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(b.box->selectedText(),
                 Delete1::summaryText(rows.mid(0, 2)) + rows[2] + " will be deleted.");
        QTest::keyClick(b.box, Qt::Key_Left); // no Shift: the selection goes
        QVERIFY(!b.box->hasSelection());
        QApplication::clipboard()->clear();
        QTest::keyClick(b.box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(b.box, Qt::Key_C, Qt::ControlModifier);
        const QString copied = QApplication::clipboard()->text();
        QCOMPARE(copied.size(), Delete1::summaryText(rows).size());
        QVERIFY(copied == Delete1::summaryText(rows)); // byte for byte, CR LF included
        QCOMPARE(copied.count(QStringLiteral("\r\n")), 1000);
    }

    void scrollsToTheLastOfAHundredThousandLines() {
        Box b;
        QVERIFY(b.ready());
        const QStringList rows = paths(100000);
        b.box->setLines(rows, QStringLiteral(" will be deleted."));
        QCOMPARE(b.box->lineCount(), 100001);
        QCOMPARE(b.box->verticalScrollBar()->value(), 0);
        QTest::keyClick(b.box, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(b.box->cursorPosition(), b.box->textSize());
        const QScrollBar* vertical = b.box->verticalScrollBar();
        QCOMPARE(vertical->value(), vertical->maximum());
        // The last path is in sight: its first character has a place inside the viewport, and
        // a click there lands on it.
        const qsizetype last = b.box->lineStart(99999);
        const QRect place = b.box->characterRect(last);
        QVERIFY(!place.isEmpty());
        QVERIFY(b.box->viewport()->rect().contains(place));
        QCOMPARE(b.box->offsetAt(place.center() - QPoint(2, 0)), last);
        QCOMPARE(b.box->lineText(99999), rows.last() + " will be deleted.");
        // The end of a long line scrolls sideways; Ctrl+Home comes back to the top left.
        QTest::keyClick(b.box, Qt::Key_Up);
        QTest::keyClick(b.box, Qt::Key_End);
        QVERIFY(b.box->horizontalScrollBar()->value() > 0);
        QTest::keyClick(b.box, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(b.box->verticalScrollBar()->value(), 0);
        QCOMPARE(b.box->horizontalScrollBar()->value(), 0);
    }

    void assistiveTechnologyReadsTheText() {
        Box b;
        QVERIFY(b.ready());
        const QString text = Delete1::summaryText({"/a/one", "/a/two", "/a/three"});
        b.box->setLines({"/a/one", "/a/two", "/a/three"}, QStringLiteral(" will be deleted."));
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(b.box);
        QVERIFY(accessible != nullptr);
        QCOMPARE(accessible->role(), QAccessible::EditableText);
        QVERIFY(accessible->state().readOnly);
        QVERIFY(accessible->state().multiLine);
        QCOMPARE(accessible->text(QAccessible::Value), text);
        QAccessibleTextInterface* texts = accessible->textInterface();
        QVERIFY(texts != nullptr);
        QCOMPARE(texts->characterCount(), int(text.size()));
        QCOMPARE(texts->text(0, texts->characterCount()), text);
        // Lines as a screen reader walks them: each with its line end.
        const int inSecond = int(text.indexOf("two"));
        int start = -1;
        int end = -1;
        QCOMPARE(texts->textAtOffset(inSecond, QAccessible::LineBoundary, &start, &end),
                 QStringLiteral("/a/two will be deleted.\r\n"));
        QCOMPARE(start, int(text.indexOf("/a/two")));
        QCOMPARE(texts->textBeforeOffset(inSecond, QAccessible::LineBoundary, &start, &end),
                 QStringLiteral("/a/one will be deleted.\r\n"));
        QCOMPARE(start, 0);
        QCOMPARE(texts->textAfterOffset(inSecond, QAccessible::LineBoundary, &start, &end),
                 QStringLiteral("/a/three will be deleted.\r\n"));
        QCOMPARE(texts->textAtOffset(inSecond, QAccessible::WordBoundary, &start, &end),
                 QStringLiteral("two"));
        // The selection made by the user is the selection read out, and the other way round.
        QTest::keyClick(b.box, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(texts->selectionCount(), 1);
        texts->selection(0, &start, &end);
        QCOMPARE(end - start, int(text.size()));
        texts->setSelection(0, 3, 6);
        QCOMPARE(b.box->selectedText(), QStringLiteral("one"));
    }
};

THINWICK_TEST_MAIN(SummaryBoxTest)
#include "test_summarybox.moc"
