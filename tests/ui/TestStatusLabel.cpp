#include "Pixels.h"
#include "ui/Gradient.h"
#include "ui/StatusLabel.h"

class TestStatusLabel : public QObject
{
    Q_OBJECT
    CStatusLabel m_label;

private slots:
    void gradient()
    {
        // Channels step by 65280 / 100 = 652 in 8.8 fixed point, truncated; the last band takes the rest.
        const std::vector<GradientBand> bands = GradientBands(QRect(0, 0, 250, 40), kRed, kBlue, 100);
        const GradientBand& last = bands.back();
        QCOMPARE(std::tuple(bands.size(), last.left, last.right, last.colour),
                 std::tuple(size_t{100}, 198, 250, MakeColorRef(2, 0, 252)));
        m_label.resize(250, 40);
        const QImage image = Grab(m_label.SetBackground(kRed, kBlue, true));
        for (const GradientBand& band : bands)
            QCOMPARE(image.pixel(band.left, 39), Rgb(band.colour));
    }

    // The window's wait label: lines from the top when the text has a line
    // break; blinking hides the text in the background and shows it again.
    void waitText()
    {
        m_label.resize(400, 300);
        m_label.SetStyleFlags(CStatusLabel::kStyleCenter | CStatusLabel::kStyleCenterImage);
        m_label.SetBackground(kYellow).SetForeground(kRed).SetPointSize(28).show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_label));
        QImage image = Grab(m_label.SetLabelText("AB"));
        QVERIFY(CountPixels(image, {150, 110, 100, 80}, kRed) > 10);
        QCOMPARE(CountPixels(image, {0, 0, 400, 100}, kYellow), 400 * 100);
        image = Grab(m_label.SetLabelText("AB\r\nCD"));
        QVERIFY(CountPixels(image, {150, 0, 100, 100}, kRed) > 10);
        QCOMPARE(CountPixels(image, {0, 150, 400, 150}, kYellow), 400 * 150);
        m_label.SetLabelText("WAIT").SetTextBlink(true);
        QTRY_COMPARE_WITH_TIMEOUT(CountPixels(Grab(m_label), {100, 120, 200, 60}, kYellow), 200 * 60, 1500);
        QTRY_VERIFY_WITH_TIMEOUT(CountPixels(Grab(m_label), {100, 120, 200, 60}, kRed) > 0, 1500);
        // The frame setters draw a sunken edge without repainting the text.
        m_label.SetTextBlink(false).SetBackBlink(true).SetBackBlink(false);
        struct Paints : QObject {
            int text = 0;
            bool eventFilter(QObject* label, QEvent* event) override
            {
                text += event->type() == QEvent::Paint
                    && static_cast<QPaintEvent*>(event)->region().intersects(
                        static_cast<QWidget*>(label)->rect().adjusted(2, 2, -2, -2));
                return false;
            }
        } paints;
        QTest::qWait(50);
        m_label.installEventFilter(&paints);
        m_label.SetSunkenEdge(true).SetFrame(true).SetWebLink(true, false).SetMailtoLink(true, true);
        m_label.SetLinkTarget("https://example.org").SetHoverCursor(QCursor(Qt::PointingHandCursor));
        QTest::qWait(50);
        QCOMPARE(paints.text, 0);
        QCOMPARE(Grab(m_label).pixel(200, 0), m_label.palette().color(QPalette::Dark).rgb());
        m_label.removeEventFilter(&paints);
    }
};

QTEST_MAIN(TestStatusLabel)
#include "TestStatusLabel.moc"
