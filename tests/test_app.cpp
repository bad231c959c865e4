#include "TestSupport.h"
#include "app/Form1.h"
#include <QApplication>
#include <QTest>
class AppTest : public QObject {
    Q_OBJECT
private slots:
    void opens() {
        ScriptedDialogs d;
        Form1 f(d);
        QCOMPARE(f.width(), 1064);
    }
};
THINWICK_TEST_MAIN(AppTest)
#include "test_app.moc"
