#include "Pixels.h"
#include "ui/Gradient.h"
#include "ui/StatusLabel.h"

// Counts the paints that reach the text, inside the widest frame (2 pixels),
// whether a setter paints at once or queues them.
struct CountedLabel : CStatusLabel {
    int paints = 0;
    void paintEvent(QPaintEvent* event) override
    {
        paints += event->region().intersects(rect().adjusted(2, 2, -2, -2));
        CStatusLabel::paintEvent(event);
    }
};

class TestStatusLabel : public QObject
{
    Q_OBJECT
    std::unique_ptr<CountedLabel> m_label;

private slots:
    // The main window's wait label, 400 x 300: red text on yellow, centred.
    void init()
    {
        m_label = std::make_unique<CountedLabel>();
        m_label->resize(400, 300);
        m_label->SetStyleFlags(CStatusLabel::kStyleCenter | CStatusLabel::kStyleCenterImage);
        m_label->SetBackground(kYellow).SetForeground(kRed).SetPointSize(28).show();
        QVERIFY(QTest::qWaitForWindowExposed(m_label.get()));
    }

    void waitLabelLayout_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("inked");
        QTest::addColumn<QRect>("yellow");
        QTest::newRow("one line: centred both ways") << "AB" << QRect(150, 110, 100, 80) << QRect(0, 0, 400, 100);
        QTest::newRow("CR LF: from the top") << "AB\r\nCD" << QRect(150, 0, 100, 100) << QRect(0, 150, 400, 150);
    }
    void waitLabelLayout()
    {
        QFETCH(QString, text);
        QFETCH(QRect, inked);
        QFETCH(QRect, yellow);
        const QImage image = Grab(m_label->SetLabelText(text));
        QVERIFY(CountPixels(image, inked, kRed) > 10);
        QCOMPARE(CountPixels(image, yellow, kYellow), yellow.width() * yellow.height());
    }

    void gradient()
    {
        // Channels step by 65280 / 100 = 652 in 8.8 fixed point, truncated; the last band takes the rest.
        const std::vector<GradientBand> bands = GradientBands(QRect(0, 0, 250, 40), kRed, kBlue, 100);
        QCOMPARE(bands.size(), 100u);
        const GradientBand& last = bands.back();
        QCOMPARE(std::tuple(last.left, last.right, last.colour), std::tuple(198, 250, MakeColorRef(2, 0, 252)));
        // The bands tile the label without gaps, each painted in its colour.
        m_label->resize(250, 40);
        const QImage image = Grab(m_label->SetBackground(kRed, kBlue, true));
        int edge = 0;
        for (const GradientBand& band : bands) {
            QCOMPARE(band.left, std::exchange(edge, band.right));
            QCOMPARE(image.pixel(band.left, 39), Rgb(band.colour));
        }
    }

    // Before its window exists the label takes no text, nor keeps it for later.
    void labelTextNeedsWindow()
    {
        QWidget window;
        auto* label = new CStatusLabel(&window);
        label->SetLabelText("early").hide();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(label->text(), QString());
        QCOMPARE(label->SetLabelText("late").text(), "late");
    }

    // The frame setters redraw only the frame; the text stays as painted.
    void quietSettersDoNotRepaint()
    {
        QTest::qWait(50);
        m_label->paints = 0;
        m_label->SetSunkenEdge(true).SetFrame(true).SetTextBlink(true).SetBackBlink(true);
        m_label->SetWebLink(true, false).SetMailtoLink(true, true).SetLinkTarget("https://example.org");
        m_label->SetHoverCursor(QCursor(Qt::PointingHandCursor)).SetStyleFlags(CStatusLabel::kStyleRight);
        QTest::qWait(50); // queued paints arrive meanwhile; the first blink is 500 ms off
        QCOMPARE(m_label->paints, 0);
        QCOMPARE(Grab(*m_label).pixel(200, 0), m_label->palette().color(QPalette::Dark).rgb()); // sunken frame
        m_label->SetForeground(kBlue); // a painting setter: the count does see it
        QVERIFY(m_label->paints > 0);
    }

    void blinkAlternates()
    {
        // One phase hides the text in the background, the next shows it again.
        m_label->SetLabelText("WAIT").SetTextBlink(true);
        QTRY_COMPARE_WITH_TIMEOUT(CountPixels(Grab(*m_label), {100, 120, 200, 60}, kYellow), 200 * 60, 1500);
        QTRY_VERIFY_WITH_TIMEOUT(CountPixels(Grab(*m_label), {100, 120, 200, 60}, kRed) > 0, 1500);
    }
};

QTEST_MAIN(TestStatusLabel)
#include "TestStatusLabel.moc"
