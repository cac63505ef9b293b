#include <QtTest>
class TestUpdateController : public QObject {
    Q_OBJECT
};
QTEST_MAIN(TestUpdateController)
#include "tst_updateController.moc"
