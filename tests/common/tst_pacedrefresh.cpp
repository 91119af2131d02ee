#include "common/pacedrefresh.h"
#include "testhome.h"

#include <QtTest/QtTest>

#include <QThread>

class TestPacedRefresh final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requestsBeforeTheNextTurnRunOnce()
    {
        int runs = 0;
        PacedRefresh refresh([&runs] { ++runs; });
        for (int i = 0; i < 50; ++i)
            refresh.schedule();
        QCOMPARE(runs, 0);
        QTRY_COMPARE(runs, 1);
        QCoreApplication::processEvents();
        QCOMPARE(runs, 1);
    }

    void aCostlyRunHoldsTheNextBackButDropsNothing()
    {
        int runs = 0;
        PacedRefresh refresh([&runs] {
            ++runs;
            QThread::msleep(60); // three times this must pass before the next
        });
        refresh.runNow();
        refresh.schedule();
        QCoreApplication::processEvents();
        QCOMPARE(runs, 1);
        QVERIFY(refresh.isScheduled());
        QTRY_COMPARE(runs, 2);
    }

    void runningNowTakesThePendingRequestAlong()
    {
        int runs = 0;
        PacedRefresh refresh([&runs] { ++runs; });
        refresh.schedule();
        refresh.runNow();
        QVERIFY(!refresh.isScheduled());
        QTest::qWait(20);
        QCOMPARE(runs, 1);
    }
};

VESK_TEST_GUILESS_MAIN(TestPacedRefresh)
#include "tst_pacedrefresh.moc"
