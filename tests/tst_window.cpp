#include "app/form1.h"
#include "app/picturebox.h"
#include "app/picturelist.h"
#include "app/platform.h"
#include "app/windowfont.h"
#include "support/boxanswerer.h"
#include "support/fakeplatform.h"
#include "support/painted.h"
#include "support/testfolder.h"
#include "support/testwindow.h"

#include <QAccessible>
#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <algorithm>
#include <numeric>

#ifdef Q_OS_WIN
#include <QtCore/qt_windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

// The window as laid out, its start-up, the picture list and the info box.
class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void controlsAreLaidOut_data();
    void controlsAreLaidOut();
    void windowIsFixedAndStartsEmpty();
    void pictureIsScaledEvenly();
    void largerPictureKeepsTheBoxBorder();
    void everyTextFitsItsControl_data();
    void everyTextFitsItsControl();
    void tooLongLineWrapsWithinTheScreen_data();
    void tooLongLineWrapsWithinTheScreen();
    void markupInAMessageShowsAsWritten();
    void pictureFolderEndsInOneSeparator_data();
    void pictureFolderEndsInOneSeparator();
    void listShowsMatchingFilesInNameOrder();
    void refreshClearsTheSelection();
    void startUpRemovesOnlyStaleTemporaries();
    void infoBoxShowsTheFixedText();
    void unreadableFolderIsReportedAndTheWindowLives();

private:
    QTemporaryDir m_folder{ folderTemplate() };
};

void WindowTest::initTestCase()
{
    installGermanTranslations();
    // Quicksand's digits differ in width. Its file, from Debian's fonts-quicksand, is loaded
    // directly: Windows' Qt under Wine sees no Linux fonts, and the Linux one may miss a new file.
    const QString quicksand = QStringLiteral("/usr/share/fonts/truetype/quicksand/Quicksand-Bold.ttf");
#ifdef Q_OS_WIN
    QFontDatabase::addApplicationFont(QStringLiteral("Z:") + quicksand);   // Wine's drive for Linux's files
#else
    QFontDatabase::addApplicationFont(quicksand);
#endif
    QVERIFY(m_folder.isValid());
}

void WindowTest::cleanup()
{
    QCOMPARE(openTopLevelWindows(nullptr), QStringList());
}

void WindowTest::controlsAreLaidOut_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("accessibleName");   // the caption unless given

    const auto row = [](const char *name, const char *parent, QRect geometry, const char *caption,
                        const char *toolTip, const char *accessibleName = nullptr) {
        QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(parent) << geometry
                            << QString::fromUtf8(caption) << QString::fromUtf8(toolTip)
                            << QString::fromUtf8(accessibleName ? accessibleName : caption);
    };
    row("Frame2", "Form1", { 8, 0, 137, 377 }, "", "", "Bedienfeld");
    row("CommandInfo", "Frame2", { 8, 16, 121, 25 }, "Hilfe/Info", "Hilfe und Programminfo");
    row("CommandDownload", "Frame2", { 8, 56, 121, 25 }, "Download!", "METEOSAT-Bild holen");
    row("Label1", "Frame2", { 8, 88, 95, 13 }, "Verfügbare Dateien:", "");
    row("List1", "Frame2", { 8, 104, 121, 121 }, "", "lokal verfügbare METEOSAT-Bilder", "Bildliste");
    row("CommandWaehlen0", "Frame2", { 8, 232, 121, 25 }, "alle auswählen", "alle Dateien auswählen");
    row("CommandWaehlen1", "Frame2", { 8, 264, 121, 25 }, "keine auswählen", "keine Datei auswählen");
    row("CommandWaehlen2", "Frame2", { 8, 304, 121, 25 }, "Datei(en) löschen",
        "die markierten Dateien löschen");
    row("CommandWaehlen3", "Frame2", { 8, 344, 121, 25 }, "Animation starten",
        "die Animation starten/stoppen");
    row("Image1", "Form1", { 152, 8, 481, 369 }, "", "", "Satellitenbild");
}

void WindowTest::controlsAreLaidOut()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);
    QFETCH(QString, accessibleName);

    Form1 form({ m_folder.path() });
    form.setObjectName(QStringLiteral("Form1"));
    auto *control = form.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), parent);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->toolTip(), toolTip);
    if (auto *button = qobject_cast<QPushButton *>(control))
        QCOMPARE(button->text(), caption);
    else if (auto *label = qobject_cast<QLabel *>(control))
        QCOMPARE(label->text(), caption);
    else if (auto *frame = qobject_cast<QGroupBox *>(control))
        QCOMPARE(frame->title(), caption);
    // No control sets a font of its own.
    QVERIFY(!control->testAttribute(Qt::WA_SetFont));
    // What a screen reader says: the name, then the tooltip.
    const QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
    QCOMPARE(accessible->text(QAccessible::Name), accessibleName);
    QCOMPARE(accessible->text(QAccessible::Description), toolTip);
}

void WindowTest::windowIsFixedAndStartsEmpty()
{
    Form1 form({ m_folder.path() });
    QCOMPARE(form.windowTitle(), QStringLiteral("Nubilo 1.1"));
    QCOMPARE(form.minimumSize(), QSize(641, 385));
    QCOMPARE(form.maximumSize(), QSize(641, 385));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form.windowIcon().availableSizes(), (QList<QSize>{ { 32, 32 }, { 16, 16 } }));
    QVERIFY(form.windowIcon().pixmap(32).toImage().pixelColor(0, 0).alpha() == 0);

    QCOMPARE(form.List1->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(form.Image1->frameShape(), QFrame::Box);
    QCOMPARE(form.Image1->lineWidth(), 1);
    QVERIFY(form.Image1->picture().isNull());
    QVERIFY(!form.AnimGo);
    QVERIFY(form.CWCaption.isEmpty());

    // Tab order: the buttons and the list in the order of the layout table.
    const auto nextTabStop = [](QWidget *widget) {
        do
            widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus));
        return widget;
    };
    QList<QWidget *> order = { form.CommandInfo };
    while (order.size() < 7)
        order << nextTabStop(order.last());
    QCOMPARE(order,
             (QList<QWidget *>{ form.CommandInfo, form.CommandDownload, form.List1, form.CommandWaehlen[0],
                                form.CommandWaehlen[1], form.CommandWaehlen[2], form.CommandWaehlen[3] }));
    for (QWidget *control : std::as_const(order))
        QVERIFY(control->isEnabled());

    // Message boxes speak German whatever the locale.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));

    // Shown at the scaling the run was started for, where it names one, and centred on the
    // screen: the client area off its middle by no more than the frame.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    if (const QString wanted = qEnvironmentVariable("NUBILO_TEST_SCALE"); !wanted.isEmpty())
        QCOMPARE(qRound(form.devicePixelRatio() * 100), wanted.toInt());
    const QPoint offset = form.geometry().center() - form.screen()->availableGeometry().center();
    const QSize frame = form.frameGeometry().size() - form.size();
    QVERIFY2(std::abs(offset.x()) <= frame.width() && std::abs(offset.y()) <= frame.height(),
             qPrintable(QStringLiteral("%1,%2 px off the middle").arg(offset.x()).arg(offset.y())));
}

namespace {

// What is wrong with a one-pixel checkerboard of `size` shown at `scale` on `shown`, the
// screen's pixels from the board's top-left corner to a little past its right and bottom
// edges; empty if nothing. Evenly scaled, every row and every column of screen pixels is as
// grey as the next; a picture pixel doubled where its neighbour is not makes a stripe darker
// or lighter than the rest. The spread is the largest difference between those means, and
// half black and half white make mid-grey on average.
QString scaledBoardFault(const QImage &shown, QSize size, qreal scale, QRgb ground)
{
    for (int x = 0; x < shown.width(); ++x)
        if (shown.pixel(x, shown.height() - 1) != ground)
            return QStringLiteral("the picture reaches below its place");
    for (int y = 0; y < shown.height(); ++y)
        if (shown.pixel(shown.width() - 1, y) != ground)
            return QStringLiteral("the picture reaches past its place on the right");
    // The edges' pixels take part of the ground.
    const QRect board = QRect(QPoint(), size * scale).adjusted(2, 2, -2, -2);
    QList<double> rows(board.height()), columns(board.width());
    for (int y = 0; y < board.height(); ++y) {
        for (int x = 0; x < board.width(); ++x) {
            const int grey = qGray(shown.pixel(board.x() + x, board.y() + y));
            rows[y] += grey / double(board.width());
            columns[x] += grey / double(board.height());
        }
    }
    const QList<double> means = rows + columns;
    const auto [least, most] = std::minmax_element(means.begin(), means.end());
    const double mean = std::accumulate(rows.begin(), rows.end(), 0.0) / rows.size();
    if (std::abs(mean - 127.5) > 8 || *most - *least > 4)
        return QStringLiteral("grey %1 on average, rows and columns spread by %2")
            .arg(mean, 0, 'f', 1)
            .arg(*most - *least, 0, 'f', 1);
    return {};
}

}

void WindowTest::pictureIsScaledEvenly()
{
    TestWindow window;
    PictureBox *box = window.form->Image1;
    const qreal scale = box->devicePixelRatio();
    QImage board(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < board.height(); ++y)
        for (int x = 0; x < board.width(); ++x)
            board.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    box->setPicture(QPixmap::fromImage(board));

    if (scale == qRound(scale)) {   // each picture pixel a square of screen pixels, crisp
        QTRY_COMPARE(paintedDifference(box, board), QString());
        return;
    }
    // Where it shows at 100 %, two pixels past it on the right and below showing the window's ground.
    const QRect place(box->contentsRect().topLeft(), board.size() + QSize(2, 2));
    const QRgb ground = window.form->palette().color(QPalette::Window).rgb();
    QTRY_COMPARE(scaledBoardFault(onScreen(box, place), board.size(), scale, ground), QString());
}

void WindowTest::largerPictureKeepsTheBoxBorder()
{
    // Satellite pictures are larger than the box, which cuts them off inside its border.
    TestWindow window;
    PictureBox *box = window.form->Image1;
    if (box->devicePixelRatio() != 1)
        QSKIP("Unscaled only: scaled, the border shares screen pixels with the picture (by a fraction) "
              "or lies past what the offscreen screen reads (200 %).");
    QImage picture(box->size() * 2, QImage::Format_RGB32);
    const QRgb red = qRgb(255, 0, 0);
    picture.fill(red);
    box->setPicture(QPixmap::fromImage(picture));
    QTRY_COMPARE(onScreen(box, QRect(box->contentsRect().center(), QSize(1, 1))).pixel(0, 0), red);
    const QImage shown = onScreen(box, box->rect());
    for (int x = 0; x < shown.width(); ++x)
        QVERIFY2(shown.pixel(x, shown.height() - 1) != red, qPrintable(QStringLiteral("bottom, x = %1").arg(x)));
    for (int y = 0; y < shown.height(); ++y)
        QVERIFY2(shown.pixel(shown.width() - 1, y) != red, qPrintable(QStringLiteral("right, y = %1").arg(y)));
}

void WindowTest::everyTextFitsItsControl_data()
{
    QTest::addColumn<QFont>("desktopFont");
    QTest::addColumn<bool>("fitsAsIs");
    QTest::addColumn<bool>("fitsAtAll");
    QTest::newRow("the system's default font") << QApplication::font() << false << true;
#ifdef Q_OS_WIN
    QTest::newRow("Windows' own font, Segoe UI 9 pt")
        << QFont(QStringLiteral("Segoe UI"), 9) << false << true;
#endif
    QTest::newRow("large font, DejaVu Sans 12 pt")
        << QFont(QStringLiteral("DejaVu Sans"), 12) << false << true;
    QTest::newRow("small font kept, DejaVu Sans 7 pt")
        << QFont(QStringLiteral("DejaVu Sans"), 7) << true << true;
    // Digits of different widths, "0" not the widest: the list must take a name of the widest.
    QTest::newRow("proportional digits, Quicksand Bold 12 pt")
        << QFont(QStringLiteral("Quicksand"), 12, QFont::Bold) << false << true;
    // The system's family, large and with its letters twice as far apart: no size fits.
    QFont tooWide(QFontInfo(QApplication::font()).family());
    tooWide.setPixelSize(40);
    tooWide.setLetterSpacing(QFont::PercentageSpacing, 200);
    QTest::newRow("nothing fits, 40 px spaced twice as wide") << tooWide << false << false;
}

void WindowTest::everyTextFitsItsControl()
{
    QFETCH(QFont, desktopFont);
    QFETCH(bool, fitsAsIs);
    QFETCH(bool, fitsAtAll);
    // A font by name is tried where it is installed; another would stand in for it.
    if (desktopFont != QApplication::font() && QFontInfo(desktopFont).family() != desktopFont.family())
        QSKIP(qPrintable(desktopFont.family() + QStringLiteral(" is not installed here.")));
    const QFont before = QApplication::font();
    QApplication::setFont(desktopFont);
    const auto restore = qScopeGuard([&] { QApplication::setFont(before); });
    TestWindow window;
    Form1 &form = *window.form;

    // The desktop's family, shrunk if need be, never grown.
    const QFontInfo desktop(desktopFont), chosen(form.font());
    QCOMPARE(chosen.family(), desktop.family());
    QVERIFY(fitsAsIs ? chosen.pixelSize() == desktop.pixelSize() : chosen.pixelSize() < desktop.pixelSize());
    if (!fitsAtAll) {
        // The last resort, which cuts texts least: the narrower face at the smallest size.
        QCOMPARE(form.font().stretch(), int(QFont::SemiCondensed));
        QCOMPARE(chosen.pixelSize(), WindowFont::SmallestSize);
        return;
    }

    // Every text in its control's own font, against the control's content rectangle.
    QStringList tooWide;
    const auto measure = [&](QWidget *control, const QString &text, QRect contents) {
        if (control->fontMetrics().size(Qt::TextShowMnemonic, text).width() > contents.width())
            tooWide << control->objectName() + u' ' + text;
    };
    measure(form.Label1, form.Label1->text(), form.Label1->contentsRect());
    for (QPushButton *button : form.findChildren<QPushButton *>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        measure(button, button->text(), contents);
        if (button == form.CommandWaehlen[Form1::Animate])
            measure(button, QStringLiteral("Animation stoppen"), contents);
    }

    // Twenty names of the widest digit: a vertical scroll bar, and no horizontal one.
    const QString digits = QStringLiteral("0123456789");
    const QChar widest = *std::max_element(digits.begin(), digits.end(), [&](QChar a, QChar b) {
        return form.List1->fontMetrics().horizontalAdvance(a)
            < form.List1->fontMetrics().horizontalAdvance(b);
    });
    const QString name = QStringLiteral("sat%1-%2.gif").arg(QString(6, widest), QString(4, widest));
    form.List1->setNames(QStringList(20, name));
    measure(form.List1, name, form.List1->viewport()->rect());
    QCOMPARE(tooWide, QStringList());
    QTRY_VERIFY(form.List1->verticalScrollBar()->isVisible());
    QVERIFY(!form.List1->horizontalScrollBar()->isVisible());

    // Message boxes and tooltips are windows of their own and keep the desktop's font.
    QFont boxFont;
    window.boxes.answer(QMessageBox::Ok, [&](QMessageBox *box) {
        boxFont = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->font();
    });
    window.click(form.CommandInfo);
    QCOMPARE(boxFont, QApplication::font());
    QToolTip::showText(QPoint(), form.CommandInfo->toolTip(), form.CommandInfo);
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto tip = std::find_if(windows.begin(), windows.end(),
                                  [](QWidget *w) { return w->windowType() == Qt::ToolTip; });
    QVERIFY(tip != windows.end());
    QCOMPARE((*tip)->font(), QApplication::font());
    QToolTip::hideText();
}

namespace {

const QString OwnScreen = QStringLiteral("screen of the test's own");

// Runs the current test row again in a child, this test program on a screen `width` px wide,
// which Qt's offscreen platform reads from a file; returns the child's output if it fails.
QString failureOnScreenOfWidth(int width)
{
    QTemporaryDir folder;
    QFile config(folder.filePath(QStringLiteral("screen.json")));
    const QString screens = QStringLiteral(R"({"screens": [{"name": "%1", "width": %2, "height": 768}]})");
    if (!config.open(QIODevice::WriteOnly) || config.write(screens.arg(OwnScreen).arg(width).toUtf8()) < 0)
        return config.errorString();
    config.close();
    QProcess child;
    // The file is named from the folder above: the colon after a drive's letter would end the
    // option, and Windows keeps a folder that a program runs in a little after the program ends.
    const QFileInfo place(folder.path());
    child.setWorkingDirectory(place.path());
    // The child runs unscaled: a row's width is the screen's in the window's own pixels.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_SCALE_FACTOR"));
#ifdef Q_OS_WIN
    // There the offscreen platform takes its fonts from a folder, not from the system.
    environment.insert(QStringLiteral("QT_QPA_FONTDIR"),
                       QStandardPaths::writableLocation(QStandardPaths::FontsLocation));
#endif
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("-silent"), QStringLiteral("-platform"),
                  QStringLiteral("offscreen:configfile=%1/screen.json").arg(place.fileName()),
                  QString::fromUtf8(QTest::currentTestFunction()) + u':'
                      + QString::fromUtf8(QTest::currentDataTag()) });
    if (!child.waitForFinished(120000))
        return child.errorString();
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return QString::fromLocal8Bit(child.readAll());
    return {};
}

}

void WindowTest::tooLongLineWrapsWithinTheScreen_data()
{
    QTest::addColumn<int>("screenWidth");   // 0: the screen the test runs on
    QTest::addColumn<int>("widest");   // the widest a box may be there, its frame included; 0: not checked
    QTest::newRow("the test's screen") << 0 << 0;
    // Up to 1024 px a box may take the whole screen, wider ones get QMessageBox's own limit.
    QTest::newRow("1024 px wide: the whole screen") << 1024 << 1024;
    QTest::newRow("1025 px wide: 480 px less") << 1025 << 545;
}

void WindowTest::tooLongLineWrapsWithinTheScreen()
{
    QFETCH(int, screenWidth);
    QFETCH(int, widest);
    if (screenWidth != 0 && QGuiApplication::primaryScreen()->name() != OwnScreen) {
        const QString failure = failureOnScreenOfWidth(screenWidth);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        return;
    }
    TestWindow window;
    bool whole = false;
    int boxWidth = 0;
    window.boxes.answer(QMessageBox::Ok, [&](QMessageBox *box) {
        const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        // On the screen, the text inside the box, the long line wrapped below the first.
        whole = box->screen()->availableGeometry().contains(box->frameGeometry())
            && box->rect().contains(label->geometry())
            && label->height() >= 3 * label->fontMetrics().lineSpacing();
        boxWidth = box->frameGeometry().width();
    });
    showMessage(window.form.get(), Message::Critical, QStringLiteral("Fehler"),
                QStringLiteral("Das Bild kann nicht geholt werden.\r\n")
                    + QStringLiteral("Das Zertifikat des Ausstellers wurde nicht gefunden. ").repeated(12));
    QVERIFY(whole);
    // The line wraps only where the box may grow no more, less room for a window frame on either side.
    const int frame = window.form->frameGeometry().width() - window.form->width();
    if (widest != 0)
        QVERIFY2(boxWidth <= widest && boxWidth >= widest - 2 * frame,
                 qPrintable(QStringLiteral("%1 px wide").arg(boxWidth)));
}

void WindowTest::markupInAMessageShowsAsWritten()
{
    TestWindow window;
    // Picture names and a server's reason phrase are not ours: what looks like markup is text.
    const QString text = QStringLiteral("Die Datei sat<i>1.gif konnte nicht geschrieben werden.\r\n"
                                        "Der Server antwortete mit dem Status 503 <b>Busy</b>.");
    QString shown;
    window.boxes.answer(QMessageBox::Ok, [&](QMessageBox *box) {
        // A screen reader gets the text as the label shows it: rich text would lose its tags.
        auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        shown = QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
    });
    showMessage(window.form.get(), Message::Critical, QStringLiteral("Fehler"), text);
    QCOMPARE(shown, text);
}

void WindowTest::pictureFolderEndsInOneSeparator_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<QString>("expected");
    // The system's own notation: C:\Wetter\ on Windows.
    const QString folder = QDir::toNativeSeparators(m_folder.path()) + QDir::separator();
    QTest::newRow("ordinary folder gets one separator") << m_folder.path() << folder;
    QTest::newRow("separator already there is not doubled") << m_folder.path() + u'/' << folder;
    QTest::newRow("root folder stays as it is")
        << QDir::rootPath() << QDir::toNativeSeparators(QDir::rootPath());
}

void WindowTest::pictureFolderEndsInOneSeparator()
{
    QFETCH(QString, programFolder);
    QFETCH(QString, expected);
    BoxAnswerer boxes;
    Form1 form({ programFolder });
    QCOMPARE(form.DLPfad, expected);
    QCOMPARE(boxes.seen().size(), 0);
}

void WindowTest::listShowsMatchingFilesInNameOrder()
{
    QTemporaryDir folder;
    putPictures(folder.path(),
                { QStringLiteral("sat991231-2300.gif"), QStringLiteral("sat000101-0100.gif"),
                  QStringLiteral("SAT0701.GIF"), QStringLiteral("sat.gif"), QStringLiteral(".sat5.gif"),
                  QStringLiteral("other.gif"), QStringLiteral("xsat1.gif"), QStringLiteral("sat2.gif.part"),
                  QStringLiteral("sat3.png"), QStringLiteral("sat7.gifx"), QStringLiteral("sat8.gif"),
                  QStringLiteral("sat9.gif"), QStringLiteral("sat-😀.gif"), QStringLiteral("sat-Ａ.gif") });
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("sat1.gif")));
    const auto at = [&](const char *name) { return folder.path() + u'/' + QLatin1String(name); };
    // Capitals first, and U+FF21 before U+1F600 (in UTF-16 the surrogates of the latter come first).
#ifdef Q_OS_WIN
    // Hidden and system files are not listed.
    for (const auto &[name, attribute] :
         { std::pair{ "sat8.gif", FILE_ATTRIBUTE_HIDDEN }, std::pair{ "sat9.gif", FILE_ATTRIBUTE_SYSTEM } })
        QVERIFY(::SetFileAttributesW(reinterpret_cast<const wchar_t *>(at(name).utf16()), attribute));
    const QStringList listed = { "SAT0701.GIF", "sat-Ａ.gif",         "sat-😀.gif",
                                 "sat.gif",     "sat000101-0100.gif", "sat991231-2300.gif" };
#else
    // Nor are a broken link and a pipe; a link to a plain file counts as one.
    QVERIFY(QFile::link(at("missing"), at("sat4.gif")));
    QVERIFY(QFile::link(at("other.gif"), at("sat5.gif")));
    QCOMPARE(::mkfifo(QFile::encodeName(at("sat6.gif")).constData(), 0600), 0);
    const QStringList listed = { "SAT0701.GIF", "sat-Ａ.gif",         "sat-😀.gif",
                                 "sat.gif",     "sat000101-0100.gif", "sat5.gif",
                                 "sat8.gif",    "sat9.gif",           "sat991231-2300.gif" };
#endif

    Form1 form({ folder.path() });
    QCOMPARE(listEntries(form.List1), listed);
    QCOMPARE(selectedEntries(form.List1), QStringList());

    QTemporaryDir empty;
    Form1 emptyForm({ empty.path() });
    QCOMPARE(emptyForm.List1->count(), 0);
}

void WindowTest::refreshClearsTheSelection()
{
    QTemporaryDir folder;
    FakePlatform platform;
    const QString current = QStringLiteral("sat070321-1400.gif");   // the fake clock's minute
    putPictures(folder.path(), { current, QStringLiteral("sat070321-1300.gif") });
    Form1 form({ folder.path(), QUrl(QStringLiteral("http://127.0.0.1:9/")), {}, &platform });

    QTest::mouseClick(form.CommandWaehlen[Form1::SelectAll], Qt::LeftButton);
    QCOMPARE(selectedEntries(form.List1).size(), 2);
    // This minute's picture is there: the click fetches nothing but refreshes the list.
    QTest::mouseClick(form.CommandDownload, Qt::LeftButton);
    QCOMPARE(listEntries(form.List1), (QStringList{ "sat070321-1300.gif", current }));
    QCOMPARE(selectedEntries(form.List1), QStringList());
}

void WindowTest::startUpRemovesOnlyStaleTemporaries()
{
    QTemporaryDir folder;
    const auto at = [&](const char *name) { return folder.path() + u'/' + QLatin1String(name); };
    const auto make = [&](const char *name, bool old) {
        QFile file(at(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (old)
            QVERIFY(
                file.setFileTime(QDateTime::currentDateTime().addSecs(-7200), QFile::FileModificationTime));
    };
    make(".nubilo-a1B2c3.part", true);   // these two go
    make(".nubilo-09azAZ.part", true);   // the first and last letters and digits
    make(".nubilo-Fresh1.part", false);   // another copy may be writing it
    make(".nubilo-abc12.part", true);
    make(".nubilo-abc-12.part", true);
    make("nubilo-abc123.part", true);
    make(".nubilo-abc123.part.gif", true);
    make("sat070321-1000.gif", true);
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral(".nubilo-dir123.part")));
    QStringList kept = { ".nubilo-Fresh1.part",     ".nubilo-abc-12.part", ".nubilo-abc12.part",
                         ".nubilo-abc123.part.gif", ".nubilo-dir123.part", "nubilo-abc123.part",
                         "sat070321-1000.gif" };
#ifdef Q_OS_WIN
    // There the temporaries are hidden files.
    for (const char *name : { ".nubilo-a1B2c3.part", ".nubilo-09azAZ.part" })
        QVERIFY(::SetFileAttributesW(reinterpret_cast<const wchar_t *>(at(name).utf16()), FILE_ATTRIBUTE_HIDDEN));
#else
    const QByteArray link = QFile::encodeName(at(".nubilo-lnk123.part"));
    QCOMPARE(::symlink("sat070321-1000.gif", link.constData()), 0);
    const timespec twoHoursAgo[2] = { { ::time(nullptr) - 7200, 0 }, { ::time(nullptr) - 7200, 0 } };
    QCOMPARE(::utimensat(AT_FDCWD, link.constData(), twoHoursAgo, AT_SYMLINK_NOFOLLOW),
             0);   // the link's own
    kept.insert(5, ".nubilo-lnk123.part");
#endif

    Form1 form({ folder.path() });
    QCOMPARE(folderContents(folder.path()), kept);
}

void WindowTest::infoBoxShowsTheFixedText()
{
    const QString expected =
        QStringLiteral("Nubilo 1.1\r\n"
                       "\r\n"
                       "Sammelt METEOSAT-Satellitenbilder und spielt sie als Animation ab.\r\n"
                       "Freie Software unter der MIT-Lizenz (siehe Datei LICENSE).\r\n"
                       "Ohne jede Gewährleistung: Benutzung auf eigene Gefahr.\r\n"
                       "Fehler bitte im Issue-Tracker des Nubilo-Projekts melden.\r\n"
                       "\r\n"
                       "Die ZAMG Wien zeigt auf ihrer Homepage http://www.zamg.ac.at\r\n"
                       "nur das aktuelle Meteosat Satellitenbild. Für die Analyse der Wetterentwicklung\r\n"
                       "wäre aber die Darstellung der Bilder über mehrere Stunden sinnvoll.\r\n"
                       "Dieses Programm holt sich auf Knopfdruck über Internet das aktuelle Meteosat\r\n"
                       "Satellitenbild von der ZAMG . MehrereSatellitenbilder können als Animation\r\n"
                       "hintereinander abgespielt werden. Die Meteosat-Bilder werden bei der ZAMG\r\n"
                       "stündlich erneuert. Die geladenen Bilder werden in der Dateiliste angezeigt.\r\n"
                       "Der Dateiname enthält Datum und Zeit des Downloads. Sie können nun\r\n"
                       "beliebige Dateien zum Abspielen oder löschen auswählen.\r\n"
                       "\r\n"
                       "\r\n");

    Form1 form({ m_folder.path() });
    form.show();
    BoxAnswerer boxes;
    int widestLine = 0;
    int labelWidth = -1;
    boxes.answer(QMessageBox::Ok, [&](QMessageBox *box) {
        // The box must not wrap the lines further than the text breaks them.
        const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        for (const QString &line : expected.split(QStringLiteral("\r\n")))
            widestLine = std::max(widestLine, label->fontMetrics().horizontalAdvance(line));
        labelWidth = label->contentsRect().width();
    });
    QTest::mouseClick(form.CommandInfo, Qt::LeftButton);

    QVERIFY2(labelWidth >= widestLine, qPrintable(QStringLiteral("%1 < %2").arg(labelWidth).arg(widestLine)));
    QCOMPARE(boxes.seen().size(), 1);
    const SeenBox &box = boxes.seen().first();
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.title, QStringLiteral("info"));
    QCOMPARE(box.text, expected);
    QCOMPARE(box.text.count(QStringLiteral("\r\n")), 18);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.buttonTexts, QStringList{ QStringLiteral("OK") });
}

void WindowTest::unreadableFolderIsReportedAndTheWindowLives()
{
    const QString gone = m_folder.path() + QStringLiteral("/gone");
    BoxAnswerer boxes;
    boxes.answer(QMessageBox::Ok);
    Form1 form({ gone });
    QCOMPARE(boxes.seen().size(), 1);
    QCOMPARE(boxes.seen().first().icon, QMessageBox::Critical);
    QCOMPARE(boxes.seen().first().title, QStringLiteral("Fehler"));
    const QString folder = QDir::toNativeSeparators(gone) + QDir::separator();
    QVERIFY(boxes.seen().first().text.startsWith(
        QStringLiteral("Der Bildordner %1 kann nicht gelesen werden.\r\n").arg(folder)));
    QCOMPARE(form.DLPfad, folder);
    QCOMPARE(form.List1->count(), 0);

    // The program goes on: the next command is answered as usual.
    boxes.answer(QMessageBox::Ok);
    QTest::mouseClick(form.CommandInfo, Qt::LeftButton);
    QCOMPARE(boxes.seen().size(), 2);
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
