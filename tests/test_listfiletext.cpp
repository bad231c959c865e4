// Folder list files without a window: how their bytes become text, how several chosen files split
// into folder and name, and the bad-name test.
#include "common/PathRules.h"
#include "sources/ListFile.h"
#include "sources/ListFileText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Chosen = QList<Main::ChosenFile>;

namespace {
QByteArray utf16le(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}
} // namespace

class ListFileTextTest : public QObject {
    Q_OBJECT
private slots:
    void decodeListFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const QString accents = QString::fromUtf8("C:\\Café\\Müll");
        // clang-format off
        QTest::newRow("ASCII") << QByteArray("a\r\nb") << "a\r\nb";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("UTF-8") << QByteArray("C:\\Caf\xC3\xA9\\M\xC3\xBCll") << accents;
        QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF" "C:\\Caf\xC3\xA9\\M\xC3\xBCll") << accents;
        QTest::newRow("1252") << QByteArray("C:\\Caf\xE9\\M\xFCll") << accents;
        QTest::newRow("1252 after BOM") << QByteArray("\xEF\xBB\xBF" "Caf\xE9") << QString::fromUtf8("Café");
        // One invalid byte makes the whole file 1252, also its valid UTF-8 pairs.
        QTest::newRow("mixed") << QByteArray("\xC3\xA9\r\n\xE9") << QString::fromUtf8("Ã©\r\né");
        QTest::newRow("1252 high range") << QByteArray("\x80\x8A\x9F\x81\x8D\x8F\x90\x9D\xA0\xFF")
            << QString::fromUtf8("€ŠŸ\u0081\u008D\u008F\u0090\u009D\u00A0ÿ");
        QTest::newRow("overlong is not UTF-8") << QByteArray("\xC0\xAF") << QString::fromUtf8("À¯");
        QTest::newRow("surrogate is not UTF-8") << QByteArray("\xED\xA0\x80") << QString::fromUtf8("í\u00A0€");
        QTest::newRow("cut sequence at end") << QByteArray("a\xC3") << QString::fromUtf8("aÃ");
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << QString::fromUtf8("ô\u0090€€");
        QTest::newRow("four-byte UTF-8") << QByteArray("\xF0\x9F\x98\x80") << QString::fromUtf8("😀");
        QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE") + utf16le(accents) << accents;
        QByteArray be = utf16le(accents);
        for (qsizetype i = 0; i + 1 < be.size(); i += 2)
            std::swap(be[i], be[i + 1]);
        QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF") + be << accents;
        // clang-format on
    }

    void decodeListFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const std::optional<QString> decoded = Main::decodeListFile(bytes);
        QVERIFY(decoded.has_value());
        QCOMPARE(*decoded, text);
    }

    void decodeListFileRefusesNonText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("NUL first") << QByteArray("\0abc", 4);
        QTest::newRow("NUL after the head") << QByteArray(20000, 'a') + QByteArray(1, '\0');
        QTest::newRow("NUL after BOM") << QByteArray("\xEF\xBB\xBF\0", 4);
        QTest::newRow("UTF-16 odd length") << QByteArray("\xFF\xFE"
                                                         "a\0b",
                                                         5);
        QTest::newRow("UTF-16 NUL character") << QByteArray("\xFF\xFE"
                                                            "a\0\0\0",
                                                            6);
        QTest::newRow("UTF-16 lone surrogate") << QByteArray("\xFF\xFE"
                                                             "\x00\xD8"
                                                             "a\0",
                                                             6);
    }

    void decodeListFileRefusesNonText() {
        QFETCH(QByteArray, bytes);
        QVERIFY(!Main::decodeListFile(bytes).has_value());
    }

    void listFileHeadIsText() {
        QVERIFY(Main::listFileHeadIsText("plain\r\ntext"));
        QVERIFY(Main::listFileHeadIsText(""));
        QVERIFY(!Main::listFileHeadIsText(QByteArray("ab\0c", 4)));
        QVERIFY(Main::listFileHeadIsText(QByteArray("\xFF\xFE"
                                                    "a\0",
                                                    4)));
        // Only the head counts: a NUL beyond it is found when the whole file is decoded.
        QVERIFY(Main::listFileHeadIsText(QByteArray(Main::ListFileHeadSize, 'a') + '\0'));
        QVERIFY(!Main::listFileHeadIsText(QByteArray(Main::ListFileHeadSize - 1, 'a') + '\0'));
    }

    void splitChosenFiles_data() {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<Chosen>("expected");
        QTest::newRow("one folder") << QChar('/') << QStringList{"/tmp/x/a.txt", "/tmp/x/b"}
                                    << Chosen{{"/tmp/x", "a.txt"}, {"/tmp/x", "b"}};
        QTest::newRow("root") << QChar('/') << QStringList{"/a.txt", "/b.txt"}
                              << Chosen{{"/", "a.txt"}, {"/", "b.txt"}};
        QTest::newRow("drive root") << QChar('\\') << QStringList{"C:\\a.txt", "C:\\b.txt"}
                                    << Chosen{{"C:\\", "a.txt"}, {"C:\\", "b.txt"}};
        QTest::newRow("drive folder")
            << QChar('\\') << QStringList{"C:\\d\\a.txt"} << Chosen{{"C:\\d", "a.txt"}};
        QTest::newRow("network") << QChar('\\') << QStringList{"\\\\srv\\share\\a.txt"}
                                 << Chosen{{"\\\\srv\\share", "a.txt"}};
        // Some pickers (recent files) can choose from several folders; each keeps its own.
        QTest::newRow("two folders")
            << QChar('/') << QStringList{"/p/a", "/q/r/b"} << Chosen{{"/p", "a"}, {"/q/r", "b"}};
    }

    void splitChosenFiles() {
        QFETCH(QChar, separator);
        QFETCH(QStringList, paths);
        QFETCH(Chosen, expected);
        const Chosen chosen = Main::splitChosenFiles(paths, separator);
        QCOMPARE(chosen.size(), expected.size());
        for (qsizetype i = 0; i < chosen.size(); ++i) {
            QCOMPARE(chosen[i].folder, expected[i].folder);
            QCOMPARE(chosen[i].name, expected[i].name);
            // Joined as the handler joins them: no doubled separator is left.
            const QString joined =
                Main::NormalizeFolderPath(chosen[i].folder + separator + chosen[i].name, separator);
            QCOMPARE(joined, paths[i]);
        }
    }

    void isBadFileName() {
        QTemporaryDir tmp;
        const QString file = tmp.path() + "/list one.txt";
        QFile(file).open(QIODevice::WriteOnly);
        QVERIFY(QFile::link(tmp.path() + "/gone", tmp.path() + "/dangling"));
        QVERIFY(!AddFolder::IsBadFileName(file));
        QVERIFY(!AddFolder::IsBadFileName(tmp.path()));
        // A link is judged by its own attributes, even when its target is gone.
        QVERIFY(!AddFolder::IsBadFileName(tmp.path() + "/dangling"));
        QVERIFY(AddFolder::IsBadFileName(tmp.path() + "/missing.txt"));
        QVERIFY(AddFolder::IsBadFileName(file + "/below"));
        QVERIFY(AddFolder::IsBadFileName(QString()));
        QVERIFY(AddFolder::IsBadFileName(file + QChar(0) + "x"));
    }
};

QTEST_GUILESS_MAIN(ListFileTextTest)
#include "test_listfiletext.moc"
