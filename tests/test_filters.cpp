// The name filters through the window: "Remove Filenames Containing X" and "Remove Filenames Not
// Cont. X", their procedures, and what happens when other handlers run while a filter yields.
#include "DeleteListOnly.h"
#include "Form1.h"
#include "FormControls.h"
#include "TestSupport.h"
#include "deletelist/DeleteList.h"

#include <QApplication>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>

namespace {

const QString Containing = QStringLiteral("Remove entries containing: ");
const QString NotContaining = QStringLiteral("Remove entries not containing: ");

// The filters' controller over bare widgets, titled as the program is, with a delete list and its
// summary as a draw leaves them.
struct Bare {
    ScriptedDialogs dialogs;
    DeleteListOnly form{dialogs};
    explicit Bare(const QStringList& rows) {
        form.setWindowTitle(QStringLiteral("Thinwick"));
        form.SetAppTitle();
        form.ListView3->setRows(rows);
        form.Text4->setText(Delete1::summaryText(rows));
    }
    PushButton* button(bool containing) {
        return containing ? form.PushButton11 : form.PushButton13;
    }
};

// The same in the whole window, where other handlers can run while a filter yields.
struct Window {
    ScriptedDialogs dialogs;
    Form1 form{dialogs};
    explicit Window(const QStringList& rows) {
        form.setWindowTitle(QStringLiteral("Thinwick"));
        form.SetAppTitle();
        FormControls(form).ListView3->setRows(rows);
        FormControls(form).Text4->setText(Delete1::summaryText(rows));
    }
    PushButton* button(bool containing) {
        return containing ? FormControls(form).PushButton11 : FormControls(form).PushButton13;
    }
};

QString bareLines(const QStringList& rows) {
    QString text;
    for (const QString& row : rows)
        text += row + QStringLiteral("\r\n");
    return text;
}

} // namespace

class FiltersTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void cancelOrEmptyInputChangesNothing_data() {
        QTest::addColumn<bool>("containing");
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::newRow("containing, cancel") << true << std::optional<QString>();
        QTest::newRow("containing, empty") << true << std::optional<QString>(QString());
        QTest::newRow("not containing, cancel") << false << std::optional<QString>();
        QTest::newRow("not containing, empty") << false << std::optional<QString>(QString());
    }
    void cancelOrEmptyInputChangesNothing() {
        QFETCH(bool, containing);
        QFETCH(std::optional<QString>, answer);
        Bare w({"/t/a.jpg", "/t/b.jpg"});
        w.dialogs.expectInput(answer);
        w.button(containing)->click();
        QCOMPARE(w.form.ListView3->rows(), QStringList({"/t/a.jpg", "/t/b.jpg"}));
        QCOMPARE(w.form.Text4->text(), Delete1::summaryText({"/t/a.jpg", "/t/b.jpg"}));
        QCOMPARE(w.form.mousePointer(), BusyState::PointerDefault);
        QCOMPARE(w.dialogs.calls().size(), size_t(1));
    }

    void filtersBothWays_data() {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("afterContaining");
        QTest::addColumn<QStringList>("afterNotContaining");
        QTest::newRow("a single blank")
            << QStringList{"/t/a b.jpg", "/t/ab.jpg", "/t two/c.jpg"} << " "
            << QStringList{"/t/ab.jpg"} << QStringList{"/t/a b.jpg", "/t two/c.jpg"};
        QTest::newRow("capitals in the text")
            << QStringList{"/t/café.jpg", "/t/cafe.jpg", "/t/Café/x.png"} << "CAFÉ"
            << QStringList{"/t/cafe.jpg"} << QStringList{"/t/café.jpg", "/t/Café/x.png"};
        QTest::newRow("capitals in the row")
            << QStringList{"/t/ÉTÉ.JPG", "/t/ete.jpg"} << "été" << QStringList{"/t/ete.jpg"}
            << QStringList{"/t/ÉTÉ.JPG"};
        QTest::newRow("only in a folder name")
            << QStringList{"/p/Ferien 2019/a.jpg", "/p/Arbeit/b.jpg", "/p/Ferien 2019/c.jpg"}
            << "ferien" << QStringList{"/p/Arbeit/b.jpg"}
            << QStringList{"/p/Ferien 2019/a.jpg", "/p/Ferien 2019/c.jpg"};
        QTest::newRow("nothing matches")
            << QStringList{"/t/a", "/t/b"} << "zz" << QStringList{"/t/a", "/t/b"} << QStringList{};
        QTest::newRow("every row matches")
            << QStringList{"/t/a", "/t/b"} << "/T/" << QStringList{} << QStringList{"/t/a", "/t/b"};
        QTest::newRow("empty list") << QStringList{} << "a" << QStringList{} << QStringList{};
        QTest::newRow("order and duplicates kept")
            << QStringList{"/t/5", "/t/x1", "/t/3", "/t/x2", "/t/3", "/t/X1"} << "x"
            << QStringList{"/t/5", "/t/3", "/t/3"} << QStringList{"/t/x1", "/t/x2", "/t/X1"};
        QTest::newRow("longer than every row") << QStringList{"/a", "/bb"} << "/a/bb/longer"
                                               << QStringList{"/a", "/bb"} << QStringList{};
        QTest::newRow("no wildcards") << QStringList{"/t/a*b", "/t/axb"} << "a*b"
                                      << QStringList{"/t/axb"} << QStringList{"/t/a*b"};
    }
    void filtersBothWays() {
        QFETCH(QStringList, rows);
        QFETCH(QString, text);
        QFETCH(QStringList, afterContaining);
        QFETCH(QStringList, afterNotContaining);
        for (const bool containing : {true, false}) {
            Bare w(rows);
            int pointerWhileFiltering = -1;
            w.dialogs.expectInput(text);
            QTimer::singleShot(0, &w.form, [&] { pointerWhileFiltering = w.form.mousePointer(); });
            w.button(containing)->click();
            const QStringList& after = containing ? afterContaining : afterNotContaining;
            QCOMPARE(w.form.ListView3->rows(), after);
            QCOMPARE(w.form.Text4->text(), bareLines(after));
            QCOMPARE(w.dialogs.calls().size(), size_t(1));
            QCOMPARE(w.dialogs.calls().front().text, containing ? Containing : NotContaining);
            QCOMPARE(w.dialogs.calls().front().title, QStringLiteral("Thinwick"));
            QCOMPARE(w.form.mousePointer(), BusyState::PointerDefault);
            if (!rows.isEmpty()) // an empty list is not scanned, so nothing yields
                QCOMPARE(pointerWhileFiltering, BusyState::PointerBusy);
        }
    }

    void summaryBecomesBarePathsByteForByte() {
        Bare w({"/t/a b.jpg", "/t/ü.png"});
        QVERIFY(w.form.Text4->text().contains(" will be deleted."));
        w.form.list.RemoveItemsWith(*w.form.ListView3, "nowhere");
        QCOMPARE(w.form.Text4->text().toUtf8(), QByteArray("/t/a b.jpg\r\n/t/\xC3\xBC.png\r\n"));
        QCOMPARE(w.form.Text4->lineText(0), QStringLiteral("/t/a b.jpg"));
        QCOMPARE(w.form.Text4->lineText(1), QStringLiteral("/t/ü.png"));
    }

    void anyListGivenRewritesTheWindowsSummary() {
        Bare w({"/t/a.jpg"});
        w.form.ListView1->setRows({"/s/one/", "/s/two/", "/s/three/"});
        w.form.list.RemoveItemsWithout(*w.form.ListView1, "T");
        QCOMPARE(w.form.ListView1->rows(), QStringList({"/s/two/", "/s/three/"}));
        QCOMPARE(w.form.ListView3->rows(), QStringList({"/t/a.jpg"}));
        QCOMPARE(w.form.Text4->text(), QStringLiteral("/s/two/\r\n/s/three/\r\n"));
    }

    // A timer fires while the filter ("Remove Filenames Containing X" with "drop") yields for the
    // first time, and starts another operation there.
    void anotherOperationWhileTheFilterYields_data() {
        QTest::addColumn<QString>("operation");
        QTest::newRow("rebuild") << "rebuild";
        QTest::newRow("clear list") << "clear list";
        QTest::newRow("delete key") << "delete key";
        QTest::newRow("deletion run") << "deletion run";
        QTest::newRow("second filter") << "second filter";
        QTest::newRow("window closed") << "window closed";
    }
    void anotherOperationWhileTheFilterYields() {
        QFETCH(QString, operation);
        QTemporaryDir root;
        QStringList rows;
        for (const char* name : {"keep1.jpg", "drop1.jpg", "keep2.jpg", "drop2.jpg"}) {
            rows << TestEnv::native(root.path() + "/" + name);
            TestEnv::makeFile(rows.last());
        }
        const QStringList filtered = {rows[0], rows[2]};
        Window w(rows);
        FormControls(w.form).Text1->setText("100");
        w.form.addSourceFolder(TestEnv::native(root.path()));
        // Texts that cannot occur in the random part of a temporary folder's name.
        w.dialogs.expectInput(TestEnv::native(QStringLiteral("/drop")));
        int pointerMeanwhile = -1;
        QTimer::singleShot(0, &w.form, [&] {
            pointerMeanwhile = w.form.mousePointer();
            if (operation == "rebuild") {
                w.form.deleteList().CorrelateListviewsWrapper();
            } else if (operation == "clear list") {
                FormControls(w.form).PushButton9->click();
            } else if (operation == "delete key") {
                FormControls(w.form).ListView3->selectRow(1);
                QTest::keyClick(FormControls(w.form).ListView3, Qt::Key_Delete);
            } else if (operation == "deletion run") {
                // Only files of this test's own folder may go to the trash.
                const QStringList listed = FormControls(w.form).ListView3->rows();
                if (std::all_of(listed.begin(), listed.end(), [&](const QString& row) {
                        return row.startsWith(TestEnv::native(root.path() + "/"));
                    })) {
                    w.dialogs.expectMessage();
                    FormControls(w.form).PushButton2->click();
                }
            } else if (operation == "second filter") {
                w.dialogs.expectInput(QStringLiteral("1.jpg"));
                FormControls(w.form).PushButton13->click();
            } else {
                w.form.Form_Unload();
            }
        });
        FormControls(w.form).PushButton11->click();
        QCOMPARE(pointerMeanwhile, Form1::PointerBusy);
        QCOMPARE(w.form.mousePointer(), Form1::PointerDefault);
        QCOMPARE(w.dialogs.unusedAnswers(), 0);
        const QStringList after = FormControls(w.form).ListView3->rows();
        if (operation == "rebuild") {
            // The fresh draw wins whole: every file, the filtered ones too, and its own summary.
            QCOMPARE(QSet<QString>(after.begin(), after.end()),
                     QSet<QString>(rows.begin(), rows.end()));
            QCOMPARE(FormControls(w.form).Text4->text(), Delete1::summaryText(after));
        } else if (operation == "second filter") {
            QCOMPARE(after, QStringList({rows[0], rows[1]}));
            QCOMPARE(FormControls(w.form).Text4->text(), bareLines(after));
        } else if (operation == "window closed") {
            QCOMPARE(after, rows);
            QCOMPARE(FormControls(w.form).Text4->text(), Delete1::summaryText(rows));
        } else {
            // Refused while busy, or (the deletion run) working on a list of its own.
            QCOMPARE(after, filtered);
            QCOMPARE(FormControls(w.form).Text4->text(), bareLines(filtered));
        }
        if (operation == "deletion run") {
            QCOMPARE(w.dialogs.messageTexts(), QStringList({"Done."}));
            for (const QString& row : rows)
                QVERIFY2(!QFile::exists(row), qPrintable(row));
        } else {
            for (const QString& row : rows)
                QVERIFY2(QFile::exists(row), qPrintable(row));
        }
    }
};

THINWICK_TEST_MAIN(FiltersTest)
#include "test_filters.moc"
