// The list model under Qt's model checker, and the real dialogs shown once.
#include "Controls.h"
#include "QtDialogs.h"
#include "TestSupport.h"
#include "common/ErrorReport.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

class ControlsTest : public QObject {
    Q_OBJECT

private slots:
    // Every operation the window uses keeps the model consistent for its views.
    void listModelPassesTheModelChecker() {
        ListView list;
        QAbstractItemModelTester tester(list.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.addColumn(QStringLiteral("Heading"));
        list.addRow(QStringLiteral("a"));
        list.addRow(QStringLiteral("b"));
        list.setRows({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")});
        list.setRowText(2, QStringLiteral("Y"));
        list.selectRow(3);
        list.removeSelectedRow();
        list.removeRow(1);
        QCOMPARE(list.rows(), QStringList{QStringLiteral("Y")});
        QCOMPARE(list.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Heading"));
        list.clearRows();
        QCOMPARE(list.count(), 0);
    }

    // Assistive technology hears which file a run is processing: the bar's accessible
    // description is its text while it shows progress, and nothing at rest.
    void progressBarDescribesTheFileInProgress() {
        ProgressBar bar;
        bar.show();
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(&bar);
        bar.setBarText(QStringLiteral("Progress Bar"));
        QCOMPARE(read->text(QAccessible::Description), QString());
        bar.setValueF(25);
        bar.setBarText(QStringLiteral("Processing: first file.txt"));
        QTRY_COMPARE(read->text(QAccessible::Description),
                     QStringLiteral("Processing: first file.txt"));
        bar.setValueF(50);
        bar.setBarText(QStringLiteral("Processing: ä second.txt"));
        QTRY_COMPARE(read->text(QAccessible::Description),
                     QStringLiteral("Processing: ä second.txt"));
        bar.setValueF(0);
        bar.setBarText(QStringLiteral("Progress Bar"));
        QTest::qWait(40); // two frames: a pending text would have been shown by now
        QCOMPARE(read->text(QAccessible::Description), QString());
    }

    // The real message box: the error report's lone CRs are shown as line breaks, so the empty
    // line before the support sentence stays under every widget style.
    void realMessageBoxShowsLoneCarriageReturnsAsLineBreaks() {
        QtDialogs dialogs;
        QString shown;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            shown = box->text();
            QCOMPARE(box->windowTitle(), QStringLiteral("Application Error"));
            box->accept();
        });
        const QString text =
            Main::errorReportText(QStringLiteral("Oops"), Location::PushButton4_Click, 104);
        dialogs.message(text, QStringLiteral("Application Error"), MessageIcon::Warning);
        QCOMPARE(shown, QString(text)
                            .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                            .replace(QLatin1Char('\r'), QLatin1Char('\n')));
        QVERIFY(shown.contains(QStringLiteral("at line 104\n\nPlease email")));
    }
};

THINWICK_TEST_MAIN(ControlsTest)
#include "test_controls.moc"
