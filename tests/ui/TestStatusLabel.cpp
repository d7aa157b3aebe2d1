#include "ui/Gradient.h"
#include "ui/StatusLabel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>
#include <vector>

namespace {

const ColorRef kRed = MakeColorRef(255, 0, 0);
const ColorRef kYellow = MakeColorRef(255, 255, 0);
const ColorRef kBlue = MakeColorRef(0, 0, 255);
const ColorRef kGreen = MakeColorRef(0, 255, 0);
const ColorRef kBlack = 0;
constexpr unsigned kWaitLabelStyle = CStatusLabel::kStyleCenter | CStatusLabel::kStyleCenterImage;

QImage Grab(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int CountPixels(const QImage& image, const QRect& area, ColorRef colour)
{
    const QRgb wanted = ToQColor(colour).rgb();
    int count = 0;
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            count += image.pixel(x, y) == wanted ? 1 : 0;
    return count;
}

QRect Bounds(const QImage& image, ColorRef colour)
{
    QRect box;
    const QRgb wanted = ToQColor(colour).rgb();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == wanted)
                box |= QRect(x, y, 1, 1);
    return box;
}

struct Band {
    int index;
    int left;
    int right;
    ColorRef colour;
};

using LabelSetup = std::function<void(CStatusLabel&)>;

// Receives what the label would open in the desktop's browser or mailer.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

Q_DECLARE_METATYPE(std::vector<Band>)
Q_DECLARE_METATYPE(LabelSetup)

class TestStatusLabel : public QObject
{
    Q_OBJECT
private slots:
    void waitLabelLook();
    void textLayout_data();
    void textLayout();
    void gradientBands_data();
    void gradientBands();
    void gradientPainted();
    void labelTextNeedsWindow_data();
    void labelTextNeedsWindow();
    void repaintRule_data();
    void repaintRule();
    void blinkAlternates_data();
    void blinkAlternates();
    void emboss_data();
    void emboss();
    void rotation_data();
    void rotation();
    void click_data();
    void click();
    void systemColourChange();
};

// The main window's wait label: yellow, red 36-point text centred on one line.
void TestStatusLabel::waitLabelLook()
{
    CStatusLabel label;
    label.resize(700, 200);
    label.SetStyleFlags(kWaitLabelStyle);
    label.SetBackground(kYellow).SetForeground(kRed).SetPointSize(36);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    label.SetLabelText(QStringLiteral("正在连接服务器，请稍候..."));

    const QImage image = Grab(label);
    QVERIFY(CountPixels(image, QRect(0, 70, 700, 60), kRed) > 50);
    QCOMPARE(CountPixels(image, QRect(0, 0, 700, 40), kRed), 0);
    QCOMPARE(CountPixels(image, QRect(0, 160, 700, 40), kRed), 0);
    QCOMPARE(CountPixels(image, QRect(0, 70, 40, 60), kRed), 0);
    for (const QPoint corner : {QPoint(0, 0), QPoint(699, 0), QPoint(0, 199), QPoint(699, 199)})
        QCOMPARE(image.pixel(corner), ToQColor(kYellow).rgb());
}

void TestStatusLabel::textLayout_data()
{
    QTest::addColumn<unsigned>("style");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("inked");
    QTest::addColumn<QRect>("blank");

    // The label is 400 x 300.
    QTest::newRow("centre image, one line: centred both ways")
        << kWaitLabelStyle << "AB" << QRect(150, 110, 100, 80) << QRect(0, 0, 400, 100);
    QTest::newRow("centre image, one line: nothing below the middle")
        << kWaitLabelStyle << "AB" << QRect(150, 110, 100, 80) << QRect(0, 200, 400, 100);
    QTest::newRow("centre image with CR LF: from the top")
        << kWaitLabelStyle << "AB\r\nCD" << QRect(150, 0, 100, 100) << QRect(0, 150, 400, 150);
    QTest::newRow("centre image with CR LF: centred across")
        << kWaitLabelStyle << "AB\r\nCD" << QRect(150, 0, 100, 100) << QRect(0, 0, 120, 300);
    QTest::newRow("left: top left") << CStatusLabel::kStyleLeft << "AB" << QRect(0, 0, 100, 60)
                                    << QRect(120, 0, 280, 300);
    QTest::newRow("right: top right") << CStatusLabel::kStyleRight << "AB"
                                      << QRect(300, 0, 100, 60) << QRect(0, 0, 280, 300);
    QTest::newRow("centre without image: top middle")
        << CStatusLabel::kStyleCenter << "AB" << QRect(150, 0, 100, 60) << QRect(0, 80, 400, 220);
    QTest::newRow("left wraps long text")
        << CStatusLabel::kStyleLeft << "WWWW WWWW WWWW WWWW WWWW WWWW" << QRect(0, 60, 400, 100)
        << QRect(0, 250, 400, 50);
    QTest::newRow("left without word wrap keeps one line")
        << CStatusLabel::kStyleLeftNoWordWrap << "WWWW WWWW WWWW WWWW WWWW WWWW"
        << QRect(0, 0, 400, 50) << QRect(0, 60, 400, 240);
}

void TestStatusLabel::textLayout()
{
    QFETCH(unsigned, style);
    QFETCH(QString, text);
    QFETCH(QRect, inked);
    QFETCH(QRect, blank);

    CStatusLabel label;
    label.resize(400, 300);
    label.SetStyleFlags(style);
    label.SetBackground(kYellow).SetForeground(kRed).SetPointSize(28);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    label.SetLabelText(text);

    const QImage image = Grab(label);
    QVERIFY(CountPixels(image, inked, kRed) > 10);
    QCOMPARE(CountPixels(image, blank, kRed), 0);
}

void TestStatusLabel::gradientBands_data()
{
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<ColorRef>("start");
    QTest::addColumn<ColorRef>("end");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("count");
    QTest::addColumn<std::vector<Band>>("expected");

    // Red falls by 652/256 per band (65280 / 100 truncated), blue rises as much;
    // the last band takes what the 2-pixel bands leave over.
    QTest::newRow("width 250, red to blue")
        << QRect(0, 0, 250, 10) << kRed << kBlue << 100 << 100
        << std::vector<Band>{{0, 0, 2, kRed},
                             {1, 2, 4, MakeColorRef(252, 0, 2)},
                             {98, 196, 198, MakeColorRef(5, 0, 249)},
                             {99, 198, 250, MakeColorRef(2, 0, 252)}};
    QTest::newRow("narrower than the steps: one band per column")
        << QRect(10, 0, 50, 5) << kRed << kBlue << 100 << 50
        << std::vector<Band>{{0, 10, 11, kRed}, {49, 59, 60, MakeColorRef(5, 0, 249)}};
    QTest::newRow("falling step truncates toward zero")
        << QRect(0, 0, 100, 1) << MakeColorRef(10, 0, 0) << kBlack << 100 << 100
        << std::vector<Band>{{50, 50, 51, MakeColorRef(5, 0, 0)}};
    QTest::newRow("one column is one band of the start colour")
        << QRect(5, 0, 1, 1) << kRed << kBlue << 100 << 1 << std::vector<Band>{{0, 5, 6, kRed}};
    QTest::newRow("no width draws nothing")
        << QRect(5, 0, 0, 10) << kRed << kBlue << 100 << 0 << std::vector<Band>{};
}

void TestStatusLabel::gradientBands()
{
    QFETCH(QRect, rect);
    QFETCH(ColorRef, start);
    QFETCH(ColorRef, end);
    QFETCH(int, steps);
    QFETCH(int, count);
    QFETCH(std::vector<Band>, expected);

    const std::vector<GradientBand> bands = GradientBands(rect, start, end, steps);
    QCOMPARE(int(bands.size()), count);
    for (const Band& want : expected) {
        const GradientBand& got = bands.at(std::size_t(want.index));
        QCOMPARE(got.left, want.left);
        QCOMPARE(got.right, want.right);
        QCOMPARE(got.colour, want.colour);
    }
    // The bands tile the rectangle without gaps.
    int edge = rect.left();
    for (const GradientBand& band : bands) {
        QCOMPARE(band.left, edge);
        edge = band.right;
    }
    if (!bands.empty())
        QCOMPARE(edge, rect.left() + rect.width());
}

void TestStatusLabel::gradientPainted()
{
    CStatusLabel label;
    label.resize(250, 40);
    label.SetBackground(kRed, kBlue, true);
    const QImage image = Grab(label);
    QCOMPARE(image.pixel(0, 20), ToQColor(kRed).rgb());
    QCOMPARE(image.pixel(3, 20), ToQColor(MakeColorRef(252, 0, 2)).rgb());
    QCOMPARE(image.pixel(197, 0), ToQColor(MakeColorRef(5, 0, 249)).rgb());
    QCOMPARE(image.pixel(198, 20), ToQColor(MakeColorRef(2, 0, 252)).rgb());
    QCOMPARE(image.pixel(249, 39), ToQColor(MakeColorRef(2, 0, 252)).rgb());
}

void TestStatusLabel::labelTextNeedsWindow_data()
{
    QTest::addColumn<bool>("inWindow");
    QTest::addColumn<bool>("showWindow");
    QTest::addColumn<bool>("kept");

    QTest::newRow("label never shown") << false << false << false;
    QTest::newRow("label shown") << false << true << true;
    QTest::newRow("hidden label in a window not yet shown") << true << false << false;
    QTest::newRow("hidden label in a shown window") << true << true << true;
}

void TestStatusLabel::labelTextNeedsWindow()
{
    QFETCH(bool, inWindow);
    QFETCH(bool, showWindow);
    QFETCH(bool, kept);

    QWidget window;
    CStatusLabel* label = inWindow ? new CStatusLabel(&window) : new CStatusLabel;
    std::unique_ptr<CStatusLabel> owned(inWindow ? nullptr : label);
    if (inWindow)
        label->hide();
    QWidget* top = inWindow ? &window : label;
    if (showWindow) {
        top->show();
        QVERIFY(QTest::qWaitForWindowExposed(top));
    }
    label->SetLabelText(QStringLiteral("请稍候"));
    QCOMPARE(label->text(), kept ? QStringLiteral("请稍候") : QString());
    if (!kept) {
        // Nothing was kept for later either.
        top->show();
        QVERIFY(QTest::qWaitForWindowExposed(top));
        QCOMPARE(label->text(), QString());
    }
}

void TestStatusLabel::repaintRule_data()
{
    QTest::addColumn<LabelSetup>("setter");
    QTest::addColumn<bool>("repaints");

    const auto row = [](const char* name, LabelSetup setter, bool repaints) {
        QTest::newRow(name) << setter << repaints;
    };
    row("SetBackground", [](CStatusLabel& l) { l.SetBackground(kGreen); }, true);
    row("SetForeground", [](CStatusLabel& l) { l.SetForeground(kBlue); }, true);
    row("SetLabelText", [](CStatusLabel& l) { l.SetLabelText("x"); }, true);
    row("SetBold", [](CStatusLabel& l) { l.SetBold(true); }, true);
    row("SetFace", [](CStatusLabel& l) { l.SetFace("DejaVu Serif"); }, true);
    row("SetUnderline", [](CStatusLabel& l) { l.SetUnderline(true); }, true);
    row("SetItalic", [](CStatusLabel& l) { l.SetItalic(true); }, true);
    row("SetPointSize", [](CStatusLabel& l) { l.SetPointSize(20); }, true);
    row("SetTransparentBack", [](CStatusLabel& l) { l.SetTransparentBack(true); }, true);
    row("SetEmboss", [](CStatusLabel& l) { l.SetEmboss(true, true); }, true);
    row("SetAngle", [](CStatusLabel& l) { l.SetAngle(45, true); }, true);
    row("SetEmbossColor", [](CStatusLabel& l) { l.SetEmbossColor(kBlue); }, true);
    row("SetFontSpec", [](CStatusLabel& l) { l.SetFontSpec(QFont("DejaVu Sans", 14)); }, true);
    row("SetSunkenEdge", [](CStatusLabel& l) { l.SetSunkenEdge(true); }, false);
    row("SetFrame", [](CStatusLabel& l) { l.SetFrame(true); }, false);
    row("SetTextBlink", [](CStatusLabel& l) { l.SetTextBlink(true); }, false);
    row("SetBackBlink", [](CStatusLabel& l) { l.SetBackBlink(true); }, false);
    row("SetWebLink", [](CStatusLabel& l) { l.SetWebLink(true, false); }, false);
    row("SetMailtoLink", [](CStatusLabel& l) { l.SetMailtoLink(true, true); }, false);
    row("SetLinkTarget", [](CStatusLabel& l) { l.SetLinkTarget("https://example.org"); }, false);
    row("SetHoverCursor", [](CStatusLabel& l) { l.SetHoverCursor(QCursor(Qt::PointingHandCursor)); },
        false);
}

void TestStatusLabel::repaintRule()
{
    QFETCH(LabelSetup, setter);
    QFETCH(bool, repaints);

    CStatusLabel label;
    label.resize(200, 60);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QCoreApplication::processEvents();
    PaintCounter counter;
    label.installEventFilter(&counter);
    setter(label);
    // A repaint is done before the setter returns; no event loop is needed.
    QCOMPARE(counter.paints > 0, repaints);
}

void TestStatusLabel::blinkAlternates_data()
{
    QTest::addColumn<bool>("solid");
    QTest::addColumn<ColorRef>("hiddenAs");

    QTest::newRow("solid background hides the text in it") << true << kYellow;
    QTest::newRow("gradient background shows the text black") << false << kBlack;
}

void TestStatusLabel::blinkAlternates()
{
    QFETCH(bool, solid);
    QFETCH(ColorRef, hiddenAs);

    CStatusLabel label;
    label.resize(300, 100);
    label.SetStyleFlags(kWaitLabelStyle);
    label.SetBackground(kYellow, kGreen, !solid).SetForeground(kRed).SetPointSize(28);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    label.SetLabelText("WAIT");
    const QRect text(50, 20, 200, 60);
    QVERIFY(CountPixels(Grab(label), text, kRed) > 0);
    const int hiddenBefore = CountPixels(Grab(label), text, hiddenAs);

    label.SetTextBlink(true);
    // The first phase hides the text, the ticks then show and hide it in turn.
    for (int cycle = 0; cycle < 2; ++cycle) {
        QTRY_VERIFY_WITH_TIMEOUT(CountPixels(Grab(label), text, kRed) == 0, 1500);
        QVERIFY(CountPixels(Grab(label), text, hiddenAs) > hiddenBefore);
        QTRY_VERIFY_WITH_TIMEOUT(CountPixels(Grab(label), text, kRed) > 0, 1500);
    }
    label.SetTextBlink(false);
    QTest::qWait(600);
    QVERIFY(CountPixels(Grab(label), text, kRed) > 0);
}

void TestStatusLabel::emboss_data()
{
    QTest::addColumn<bool>("down");
    QTest::newRow("down: copy right and below") << true;
    QTest::newRow("up: copy left and above") << false;
}

void TestStatusLabel::emboss()
{
    QFETCH(bool, down);

    const auto render = [](bool embossed, bool embossDown) {
        CStatusLabel label;
        label.resize(300, 100);
        label.SetStyleFlags(kWaitLabelStyle);
        label.SetBackground(kBlack).SetForeground(kRed).SetEmbossColor(kGreen).SetPointSize(40);
        label.SetEmboss(embossed, embossDown);
        label.show();
        if (!QTest::qWaitForWindowExposed(&label))
            return QImage();
        label.SetLabelText("HIM");
        return Grab(label);
    };
    const QImage plain = render(false, false);
    const QImage embossed = render(true, down);

    // Fully covered pixels do not depend on what lies beneath, so the copy's
    // solid pixels are the plain text's, moved by one pixel.
    const QRect text = Bounds(plain, kRed);
    QVERIFY(!text.isNull());
    QCOMPARE(Bounds(plain, kGreen), QRect());
    const int offset = down ? 1 : -1;
    QCOMPARE(Bounds(embossed, kGreen), text.translated(offset, offset));
    QVERIFY(CountPixels(embossed, embossed.rect(), kRed) > 0);
}

void TestStatusLabel::rotation_data()
{
    QTest::addColumn<int>("degrees");
    QTest::addColumn<bool>("upright");
    QTest::newRow("90 degrees runs up from the centre") << 90 << true;
    QTest::newRow("0 degrees runs right from the centre") << 0 << false;
}

void TestStatusLabel::rotation()
{
    QFETCH(int, degrees);
    QFETCH(bool, upright);

    CStatusLabel label;
    label.resize(300, 300);
    label.SetStyleFlags(CStatusLabel::kStyleRight);
    label.SetBackground(kYellow).SetForeground(kRed).SetPointSize(24).SetAngle(degrees, true);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    label.SetLabelText("Wait");

    const QRect box = Bounds(Grab(label), kRed);
    QVERIFY(!box.isNull());
    // The baseline starts at the centre (150, 150); the glyphs stand on it.
    if (upright) {
        QVERIFY(box.height() > box.width());
        QVERIFY(box.bottom() <= 152);
        QVERIFY(box.right() <= 152);
        QVERIFY(box.top() < 110);
    } else {
        QVERIFY(box.width() > box.height());
        QVERIFY(box.left() >= 148);
        QVERIFY(box.bottom() <= 152);
        QVERIFY(box.top() < 140);
    }
}

void TestStatusLabel::click_data()
{
    QTest::addColumn<LabelSetup>("setup");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<int>("notified");

    QTest::newRow("web link opens its target")
        << LabelSetup([](CStatusLabel& l) {
               l.SetWebLink(true, false).SetLinkTarget("https://example.org/help");
           })
        << "Help" << "https://example.org/help" << -1;
    QTest::newRow("web link without target opens the text")
        << LabelSetup([](CStatusLabel& l) { l.SetWebLink(true, false); })
        << "https://example.com/a" << "https://example.com/a" << -1;
    QTest::newRow("mail link opens mailto with the text")
        << LabelSetup([](CStatusLabel& l) { l.SetMailtoLink(true, false); })
        << "someone@example.com" << "mailto:someone@example.com" << -1;
    QTest::newRow("notify parent tells the control id instead")
        << LabelSetup([](CStatusLabel& l) { l.SetWebLink(true, true); }) << "https://example.com/a"
        << "" << 1029;
    QTest::newRow("no link ignores the click")
        << LabelSetup([](CStatusLabel&) {}) << "https://example.com/a" << "" << -1;
    QTest::newRow("link switched off ignores the click")
        << LabelSetup([](CStatusLabel& l) { l.SetWebLink(true, false).SetWebLink(false, true); })
        << "https://example.com/a" << "" << -1;
}

void TestStatusLabel::click()
{
    QFETCH(LabelSetup, setup);
    QFETCH(QString, text);
    QFETCH(QString, opened);
    QFETCH(int, notified);

    UrlCatcher catcher;
    for (const char* scheme : {"http", "https", "mailto"})
        QDesktopServices::setUrlHandler(scheme, &catcher, "open");

    QWidget window;
    window.resize(300, 100);
    auto* label = new CStatusLabel(&window);
    label->setObjectName("1029");
    label->setGeometry(0, 0, 300, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    label->SetLabelText(text);
    setup(*label);
    QSignalSpy spy(label, &CStatusLabel::clickedNotify);
    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(150, 50));

    for (const char* scheme : {"http", "https", "mailto"})
        QDesktopServices::unsetUrlHandler(scheme);
    QCOMPARE(catcher.opened.size(), opened.isEmpty() ? 0 : 1);
    if (!opened.isEmpty())
        QCOMPARE(catcher.opened.front().toString(), opened);
    QCOMPARE(spy.size(), notified < 0 ? 0 : 1);
    if (notified >= 0)
        QCOMPARE(spy.front().front().toInt(), notified);
}

// The default background follows the system colours; the text colour read at
// creation does not.
void TestStatusLabel::systemColourChange()
{
    const QPalette original = QApplication::palette();
    const QColor textAtStart = original.color(QPalette::WindowText);

    CStatusLabel label;
    label.resize(300, 100);
    label.SetStyleFlags(kWaitLabelStyle);
    label.SetPointSize(28);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    label.SetLabelText("WAIT");

    QPalette changed = original;
    changed.setColor(QPalette::Button, Qt::green);
    changed.setColor(QPalette::WindowText, Qt::blue);
    QApplication::setPalette(changed);
    // Qt delivers the change through the event queue.
    QCoreApplication::processEvents();
    const QImage image = Grab(label);
    QApplication::setPalette(original);
    QCoreApplication::processEvents();

    QCOMPARE(image.pixel(0, 0), QColor(Qt::green).rgb());
    QCOMPARE(CountPixels(image, image.rect(), kBlue), 0);
    QVERIFY(CountPixels(image, image.rect(),
                        MakeColorRef(textAtStart.red(), textAtStart.green(), textAtStart.blue()))
            > 0);
}

QTEST_MAIN(TestStatusLabel)
#include "TestStatusLabel.moc"
