// The count value: the leading number of the number box's text, the same under every locale.
#include "common/CountValue.h"

#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <clocale>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

// Switches LC_NUMERIC to de_DE.UTF-8, made beside the test when the machine lacks it. Gives
// the reason when it cannot.
QString switchToCommaLocale(const QTemporaryDir& localeDir) {
#ifdef _WIN32
    // Windows names its locales by language and country; each has its decimal comma.
    Q_UNUSED(localeDir);
    for (const char* name : {"de-DE", "German_Germany.1252", "German"}) {
        if (std::setlocale(LC_NUMERIC, name))
            return {};
    }
    return QStringLiteral("no German locale here");
#else
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        return {};
    if (!localeDir.isValid())
        return QStringLiteral("no temporary folder for the locale");
    const QString made = localeDir.filePath(QStringLiteral("de_DE.UTF-8"));
    if (!QFileInfo::exists(made))
        QProcess::execute(QStringLiteral("localedef"),
                          {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                           QStringLiteral("UTF-8"), made});
    qputenv("LOCPATH", QFile::encodeName(localeDir.path()));
    const bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    qunsetenv("LOCPATH");
    if (!switched)
        return QStringLiteral("de_DE.UTF-8 is not installed and localedef cannot make it "
                              "(Debian package locales)");
    return {};
#endif
}

} // namespace

class CountValueTest : public QObject {
    Q_OBJECT

    std::string m_userNumeric;
    QTemporaryDir m_localeDir;

private slots:
    void initTestCase() {
        // The application object has set the C library's locale to the user's, as the program's
        // does; what the locale is for the comma case is chosen below.
        m_userNumeric = std::setlocale(LC_NUMERIC, nullptr);
    }

    void countValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        const double infinity = std::numeric_limits<double>::infinity();
        QTest::newRow("whole") << "100" << 100.0;
        QTest::newRow("trailing letters") << "12abc" << 12.0;
        QTest::newRow("fraction") << "2.5" << 2.5;
        QTest::newRow("negative") << "-3" << -3.0;
        QTest::newRow("blanks anywhere") << " 1 2 " << 12.0;
        QTest::newRow("tabs and line feeds") << "\t4\n2" << 42.0;
        QTest::newRow("blanks inside the fraction") << "0 . 7 5" << 0.75;
        QTest::newRow("carriage return ends") << "4\r2" << 4.0;
        QTest::newRow("hexadecimal") << "&H1F" << 31.0;
        QTest::newRow("hexadecimal 16-bit sign") << "&HFFFF" << -1.0;
        QTest::newRow("hexadecimal 32-bit") << "&H10000" << 65536.0;
        QTest::newRow("octal") << "&O17" << 15.0;
        QTest::newRow("hexadecimal, lower-case h") << "&h1f" << 31.0;
        QTest::newRow("octal, lower-case o") << "&o17" << 15.0;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("fraction and exponent") << "1.5e1" << 15.0;
        QTest::newRow("exponent letter D") << "2D2" << 200.0;
        QTest::newRow("negative exponent") << "25e-1" << 2.5;
        QTest::newRow("lone exponent letter") << "5e" << 5.0;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("below one") << "0.7" << 0.7;
        QTest::newRow("plus sign") << "+7 files" << 7.0;
        QTest::newRow("comma ends") << "1,500" << 1.0;
        QTest::newRow("second point ends") << "1.2.3" << 1.2;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("sign only") << "-" << 0.0;
        QTest::newRow("non-ASCII digit ends") << QString::fromUtf8("3\u0663") << 3.0;
        QTest::newRow("too large") << "1e999" << infinity;
        QTest::newRow("too large negative") << "-1e999" << -infinity;
        QTest::newRow("too small") << "1e-999" << 0.0;
        QTest::newRow("many digits") << QString(300, QLatin1Char('9')) << 1e300;
        QTest::newRow("many leading zeros")
            << QStringLiteral("0.") + QString(330, QLatin1Char('0')) + QStringLiteral("1e331")
            << 1.0;
    }
    void countValue() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(Main::countValue(text), value);
    }

    // "." is the decimal point whatever the user's locale says: under a German one the C
    // library reads "2.5" as 2.
    void countValueUnderCommaDecimals_data() { countValue_data(); }
    void countValueUnderCommaDecimals() {
        QFETCH(QString, text);
        QFETCH(double, value);
        auto restore = qScopeGuard([this] { std::setlocale(LC_NUMERIC, m_userNumeric.c_str()); });
        const QString missing = switchToCommaLocale(m_localeDir);
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        // The locale is in force: the C library now reads the decimal point differently.
        QCOMPARE(std::strtod("2.5", nullptr), 2.0);
        QCOMPARE(Main::countValue(text), value);
    }
};

QTEST_GUILESS_MAIN(CountValueTest)
#include "test_countvalue.moc"
