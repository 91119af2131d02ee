#include "card/flowlayout.h"
#include "testhome.h"

#include <QApplication>
#include <QWidget>
#include <QtTest/QtTest>

#include <cmath>

namespace {

// A child that asks for exactly its given size.
class Block final : public QWidget
{
public:
    Block(QSize size, QWidget *parent)
        : QWidget(parent), m_size(size) {}
    QSize sizeHint() const override { return m_size; }

private:
    QSize m_size;
};

using Sizes = QList<QSizeF>;
using Points = QList<QPointF>;

} // namespace

class TestFlowLayout final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void arrangement_data()
    {
        QTest::addColumn<Sizes>("sizes");
        QTest::addColumn<qreal>("width");
        QTest::addColumn<Points>("positions");
        QTest::addColumn<QSizeF>("size");

        QTest::newRow("no children take no height but the whole width")
            << Sizes{} << 300.0 << Points{} << QSizeF(300, 0);
        QTest::newRow("the third of three 50-wide children wraps at 120")
            << Sizes{{50, 20}, {50, 20}, {50, 20}} << 120.0
            << Points{{0, 0}, {56, 0}, {0, 26}} << QSizeF(120, 46);
        QTest::newRow("a child wider than the width sits alone on its line without wrapping")
            << Sizes{{500, 20}} << 100.0 << Points{{0, 0}} << QSizeF(100, 20);
        QTest::newRow("a wide child after a narrow one moves down and still overflows")
            << Sizes{{30, 10}, {500, 20}, {30, 10}} << 100.0
            << Points{{0, 0}, {0, 16}, {0, 42}} << QSizeF(100, 52);
        QTest::newRow("a child that ends exactly at the width stays on the line")
            << Sizes{{50, 20}, {64, 20}} << 120.0 << Points{{0, 0}, {56, 0}} << QSizeF(120, 20);
        QTest::newRow("one more point and it wraps")
            << Sizes{{50, 20}, {65, 20}} << 120.0 << Points{{0, 0}, {0, 26}} << QSizeF(120, 46);
        QTest::newRow("the next line starts below the tallest child of the line before")
            << Sizes{{40, 10}, {40, 30}, {40, 12}} << 90.0
            << Points{{0, 0}, {46, 0}, {0, 36}} << QSizeF(90, 48);
    }

    void arrangement()
    {
        QFETCH(Sizes, sizes);
        QFETCH(qreal, width);
        QFETCH(Points, positions);
        QFETCH(QSizeF, size);
        const FlowArrangement flow = arrangeFlow(sizes, 6, width);
        QCOMPARE(flow.positions, positions);
        QCOMPARE(flow.size, size);
    }

    void withoutAWidthEverythingSharesOneLine()
    {
        const FlowArrangement flow = arrangeFlow({{50, 20}, {70, 30}, {50, 20}}, 6, std::nullopt);
        QCOMPARE(flow.positions, (Points{{0, 0}, {56, 0}, {132, 0}}));
        QVERIFY(std::isinf(flow.size.width()));
        QCOMPARE(flow.size.height(), 30.0);
        QCOMPARE(flow.usedWidth, 182.0);
    }

    void theLayoutPlacesWhatItMeasuredAndSkipsHiddenChildren()
    {
        QWidget host;
        auto *flow = new FlowLayout(&host, 6);
        QList<Block *> blocks;
        for (int i = 0; i < 3; ++i) {
            blocks.append(new Block(QSize(50, 20), &host));
            flow->addWidget(blocks.last());
        }
        QVERIFY(flow->hasHeightForWidth());
        QCOMPARE(flow->heightForWidth(120), 46);
        QCOMPARE(flow->heightForWidth(400), 20);
        // Qt's hint is the unbounded arrangement, reported with the width it uses.
        QCOMPARE(flow->sizeHint(), QSize(162, 20));
        // Narrow panes wrap down to the widest child.
        QCOMPARE(flow->minimumSize(), QSize(50, 20));

        // Placement inside bounds that do not start at the origin is offset by it.
        flow->setGeometry(QRect(10, 40, 120, 46));
        QCOMPARE(blocks.at(0)->geometry(), QRect(10, 40, 50, 20));
        QCOMPARE(blocks.at(1)->geometry(), QRect(66, 40, 50, 20));
        QCOMPARE(blocks.at(2)->geometry(), QRect(10, 66, 50, 20));

        // The parent asks the layout: it grows taller as it narrows.
        QVERIFY(host.hasHeightForWidth());
        QCOMPARE(host.heightForWidth(400), 20);
        QCOMPARE(host.heightForWidth(50), 3 * 20 + 2 * 6);

        // A hidden child takes no place.
        blocks.at(1)->hide();
        QCOMPARE(flow->heightForWidth(120), 20);
        flow->setGeometry(QRect(0, 0, 120, 20));
        QCOMPARE(blocks.at(2)->geometry().topLeft(), QPoint(56, 0));
    }
};

VESK_TEST_MAIN(TestFlowLayout)
#include "tst_flowlayout.moc"
