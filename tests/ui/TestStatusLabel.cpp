#include "Pixels.h"
#include "ui/Gradient.h"
#include "ui/StatusLabel.h"

#include <QTest>

#include <memory>
#include <tuple>
#include <utility>

struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// The main window's wait label: red text on yellow, centred.
static std::unique_ptr<CStatusLabel> ShownWaitLabel(QSize size)
{
    auto label = std::make_unique<CStatusLabel>();
    label->resize(size);
    label->SetStyleFlags(CStatusLabel::kStyleCenter | CStatusLabel::kStyleCenterImage);
    label->SetBackground(kYellow).SetForeground(kRed).SetPointSize(28).show();
    return QTest::qWaitForWindowExposed(label.get()) ? std::move(label) : nullptr;
}

class TestStatusLabel : public QObject
{
    Q_OBJECT

private slots:
    void waitLabelLayout_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("inked");
        QTest::addColumn<QRect>("yellow");
        // The label is 400 x 300.
        QTest::newRow("one line: centred both ways")
            << "AB" << QRect(150, 110, 100, 80) << QRect(0, 0, 400, 100);
        QTest::newRow("CR LF: from the top")
            << "AB\r\nCD" << QRect(150, 0, 100, 100) << QRect(0, 150, 400, 150);
    }

    void waitLabelLayout()
    {
        QFETCH(QString, text);
        QFETCH(QRect, inked);
        QFETCH(QRect, yellow);
        const auto label = ShownWaitLabel({400, 300});
        QVERIFY(label);
        label->SetLabelText(text);
        const QImage image = Grab(*label);
        QVERIFY(CountPixels(image, inked, kRed) > 10);
        QCOMPARE(CountPixels(image, yellow, kYellow), yellow.width() * yellow.height());
    }

    void gradient()
    {
        // Red falls by 652/256 per band (65280 / 100 truncated), blue rises as much;
        // the last band takes what the 2-pixel bands leave over.
        const std::vector<GradientBand> bands = GradientBands(QRect(0, 0, 250, 40), kRed, kBlue, 100);
        QCOMPARE(bands.size(), 100u);
        QCOMPARE(std::tuple(bands[1].left, bands[1].right, bands[1].colour),
                 std::tuple(2, 4, MakeColorRef(252, 0, 2)));
        QCOMPARE(std::tuple(bands[99].left, bands[99].right, bands[99].colour),
                 std::tuple(198, 250, MakeColorRef(2, 0, 252)));
        // The bands tile the label without gaps, each painted in its colour.
        CStatusLabel label;
        label.resize(250, 40);
        label.SetBackground(kRed, kBlue, true);
        const QImage image = Grab(label);
        int edge = 0;
        for (const GradientBand& band : bands) {
            QCOMPARE(band.left, std::exchange(edge, band.right));
            QCOMPARE(image.pixel(band.left, 39), ToQColor(band.colour).rgb());
        }
    }

    // Before its window exists the label takes no text, nor keeps it for later.
    void labelTextNeedsWindow()
    {
        QWidget window;
        auto* label = new CStatusLabel(&window);
        label->hide();
        label->SetLabelText("early");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(label->text(), QString());
        label->SetLabelText("late");
        QCOMPARE(label->text(), "late");
    }

    void quietSettersDoNotRepaint()
    {
        const auto label = ShownWaitLabel({200, 60});
        QVERIFY(label);
        QCoreApplication::processEvents();
        PaintCounter counter;
        label->installEventFilter(&counter);
        label->SetSunkenEdge(true).SetFrame(true).SetTextBlink(true).SetBackBlink(true);
        label->SetWebLink(true, false).SetMailtoLink(true, true).SetLinkTarget("https://example.org");
        label->SetHoverCursor(QCursor(Qt::PointingHandCursor)).SetStyleFlags(CStatusLabel::kStyleRight);
        QCOMPARE(counter.paints, 0);
        label->SetForeground(kBlue); // a painting setter: the counter does see it
        QVERIFY(counter.paints > 0);
    }

    void blinkAlternates()
    {
        const auto label = ShownWaitLabel({300, 100});
        QVERIFY(label);
        label->SetLabelText("WAIT");
        const QRect text(50, 20, 200, 60);
        label->SetTextBlink(true);
        // One phase hides the text in the background, the next shows it again.
        for (int cycle = 0; cycle < 2; ++cycle) {
            QTRY_COMPARE_WITH_TIMEOUT(CountPixels(Grab(*label), text, kYellow), 200 * 60, 1500);
            QTRY_VERIFY_WITH_TIMEOUT(CountPixels(Grab(*label), text, kRed) > 0, 1500);
        }
    }
};

QTEST_MAIN(TestStatusLabel)
#include "TestStatusLabel.moc"
