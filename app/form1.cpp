#include "app/form1.h"

#include "app/infotext.h"
#include "app/picturebox.h"
#include "app/picturelist.h"
#include "app/platform.h"
#include "app/windowfont.h"
#include "archive/gifcheck.h"
#include "archive/picturefolder.h"
#include "base/failure.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace {

const QString LineBreak = QStringLiteral("\r\n");
const QString StopCaption = QStringLiteral("Animation stoppen");

// The layout is kept in twips, 15 to a pixel at the standard scale.
constexpr int TwipsPerPixel = 15;

QRect twips(int left, int top, int width, int height)
{
    return { left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel };
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QString &toolTip,
                    const QRect &geometry)
{
    auto *result = new QPushButton(caption, parent);
    result->setObjectName(QLatin1String(name));
    result->setToolTip(toolTip);
    // No accessible name of its own, kept on purpose: Qt names a button after its caption, so
    // CommandWaehlen 3 is read out as "Animation stoppen" while it says so.
    result->setAccessibleDescription(toolTip);
    result->setGeometry(geometry);
    return result;
}

}

Form1::Form1(const Seams &seams)
    : Frame2(new QGroupBox(this)),
      CommandInfo(button(Frame2, "CommandInfo", QStringLiteral("Hilfe/Info"),
                         QStringLiteral("Hilfe und Programminfo"), twips(120, 240, 1815, 375))),
      CommandDownload(button(Frame2, "CommandDownload", QStringLiteral("Download!"),
                             QStringLiteral("METEOSAT-Bild holen"), twips(120, 840, 1815, 375))),
      Label1(new QLabel(QStringLiteral("Verfügbare Dateien:"), Frame2)),
      List1(new PictureList(Frame2)),
      CommandWaehlen{
          button(Frame2, "CommandWaehlen0", QStringLiteral("alle auswählen"),
                 QStringLiteral("alle Dateien auswählen"), twips(120, 3480, 1815, 375)),
          button(Frame2, "CommandWaehlen1", QStringLiteral("keine auswählen"),
                 QStringLiteral("keine Datei auswählen"), twips(120, 3960, 1815, 375)),
          button(Frame2, "CommandWaehlen2", QStringLiteral("Datei(en) löschen"),
                 QStringLiteral("die markierten Dateien löschen"), twips(120, 4560, 1815, 375)),
          button(Frame2, "CommandWaehlen3", QStringLiteral("Animation starten"),
                 QStringLiteral("die Animation starten/stoppen"), twips(120, 5160, 1815, 375)),
      },
      Image1(new PictureBox(this)),
      Inet1(new PictureFetcher(seams.pictureAddress, seams.fetchTimeout, this)),
      m_platform(seams.platform ? seams.platform : new Platform(this))
{
    setWindowTitle(QStringLiteral("Nubilo " NUBILO_VERSION));
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/globe32.xpm"));
    icon.addFile(QStringLiteral(":/icons/globe16.xpm"));
    setWindowIcon(icon);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(twips(0, 0, 9615, 5775).size());

    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twips(120, 0, 2055, 5655));
    Frame2->setAccessibleName(QStringLiteral("Bedienfeld"));
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twips(120, 1320, 1425, 195));
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(twips(120, 1560, 1815, 1815));
    List1->setToolTip(QStringLiteral("lokal verfügbare METEOSAT-Bilder"));
    List1->setAccessibleName(QStringLiteral("Bildliste"));
    List1->setAccessibleDescription(List1->toolTip());
    List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(twips(2280, 120, 7215, 5535));
    Image1->setAccessibleName(QStringLiteral("Satellitenbild"));
    Inet1->setObjectName(QStringLiteral("Inet1"));

    // The geometry stays as drawn; the font shrinks until every text fits it. Set once on the
    // window, it reaches every control; message boxes and tooltips are windows of their own
    // and keep the desktop's font. Any time gives a picture name: its digits count at their widest.
    WindowFont::Texts texts{ .label = Label1,
                             .captions = {},
                             .list = List1,
                             .pictureName =
                                 PictureFolder::pictureName(QDateTime(QDate(2000, 1, 1), QTime(0, 0))) };
    for (QPushButton *command : findChildren<QPushButton *>())
        texts.captions.append({ command, command->text() });
    texts.captions.append({ CommandWaehlen[Animate], StopCaption });
    setFont(WindowFont::fitting(font(), texts));

    setTabOrder(CommandInfo, CommandDownload);
    setTabOrder(CommandDownload, List1);
    setTabOrder(List1, CommandWaehlen[0]);
    for (int i = 1; i < int(CommandWaehlen.size()); ++i)
        setTabOrder(CommandWaehlen[i - 1], CommandWaehlen[i]);

    connect(CommandInfo, &QPushButton::clicked, this,
            [this] { runHandler([this] { CommandInfo_Click(); }); });
    connect(CommandDownload, &QPushButton::clicked, this,
            [this] { runHandler([this] { CommandDownload_Click(); }); });
    for (int i = 0; i < int(CommandWaehlen.size()); ++i)
        connect(CommandWaehlen[i], &QPushButton::clicked, this,
                [this, i] { runHandler([this, i] { CommandWaehlen_Click(i); }); });

    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    runHandler([this, &seams] { Form_Load(seams.programFolder); });
}

void Form1::Form_Load(const QString &programFolder)
{
    DLPfad = PictureFolder::withSeparator(programFolder);
    AnimGo = false;
    PictureFolder::removeStaleTemporaries(DLPfad);
    RefreshFileList();
}

void Form1::CommandInfo_Click()
{
    showMessage(this, Message::Information, QStringLiteral("info"), infoText());
}

void Form1::CommandDownload_Click()
{
    const QString path = DLPfad + PictureFolder::pictureName(m_platform->localNow());
    try {
        // A picture of this minute is already stored: nothing to fetch.
        if (!PictureFolder::isStored(path)) {
            const QByteArray picture = fetchPicture();
            checkPicture(picture);
            PictureFolder::storeNew(path, picture);
            showMessage(this, Message::Information, QStringLiteral("Download"),
                        QStringLiteral("Satellitenbild wurde erfolgreich geladen.") + LineBreak + path);
        }
    } catch (const Failure &) {
        RefreshFileList();
        throw;
    }
    RefreshFileList();
}

QByteArray Form1::fetchPicture()
{
    const BusyScope busy;
    return Inet1->fetch();
}

void Form1::CommandWaehlen_Click(int index)
{
    if (List1->count() == 0) {
        refuse(QStringLiteral("Keine Datei(en) verfügbar.") + LineBreak
               + QStringLiteral("Führen Sie zuerst einen Download durch."));
        return;
    }

    switch (index) {
    case SelectAll:
        List1->selectAll();
        return;
    case SelectNone:
        List1->clearSelection();
        return;
    case DeleteSelected:
    case Animate:
        break;
    default:
        return;
    }

    if (!List1->selectionModel()->hasSelection()) {
        refuse(QStringLiteral("Keine Datei(en) ausgewählt."));
        return;
    }
    if (index == DeleteSelected)
        deleteSelectedFiles();
    else if (AnimGo)
        stopAnimation();
    else
        startAnimation();
}

void Form1::deleteSelectedFiles()
{
    if (showMessage(this, Message::Question, QStringLiteral("Datei löschen"),
                    QStringLiteral("Die markierte(n) Datei(en) wirklich löschen?"), Message::OkCancel)
        != QMessageBox::Ok)
        return;

    try {
        for (int i = 0; i < List1->count(); ++i) {
            if (List1->isSelected(i))
                PictureFolder::remove(DLPfad + List1->text(i));
        }
    } catch (const Failure &) {
        RefreshFileList();   // show what is really left on disk
        throw;
    }
    RefreshFileList();
}

void Form1::startAnimation()
{
    CommandDownload->setEnabled(false);
    List1->setEnabled(false);
    for (int i = SelectAll; i <= DeleteSelected; ++i)
        CommandWaehlen[i]->setEnabled(false);
    CWCaption = CommandWaehlen[Animate]->text();
    CommandWaehlen[Animate]->setText(StopCaption);
    AnimGo = true;

    try {
        playAnimation(*this);
    } catch (const Failure &) {
        stopAnimation();
        throw;
    }
}

void Form1::stopAnimation()
{
    AnimGo = false;
    CommandDownload->setEnabled(true);
    List1->setEnabled(true);
    for (int i = SelectAll; i <= DeleteSelected; ++i)
        CommandWaehlen[i]->setEnabled(true);
    CommandWaehlen[Animate]->setText(CWCaption);
}

void Form1::refuse(const QString &text)
{
    m_platform->beep();
    showMessage(this, Message::Critical, QStringLiteral("Fehler"), text);
}

void Form1::RefreshFileList()
{
    List1->setNames({});   // a folder that cannot be read leaves the list empty
    List1->setNames(PictureFolder::list(DLPfad));
}

void Form1::runHandler(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const Failure &failure) {
        report(failure);
    }
}

void Form1::report(const Failure &failure)
{
    // Once the window is closing, nobody is left to read the report.
    if (m_closing)
        return;
    showMessage(this, Message::Critical, QStringLiteral("Fehler"),
                failure.description() + LineBreak + failure.reason());
}

int Form1::entryCount() const
{
    return List1->count();
}

bool Form1::entrySelected(int index) const
{
    return List1->isSelected(index);
}

void Form1::showEntry(int index)
{
    const QString name = List1->text(index);
    const QImage picture = PictureFolder::readPicture(DLPfad + name);
    Image1->setPicture(QPixmap::fromImage(picture));
    emit pictureShown(name);
    // The pause after a picture counts from its being on view, so that it stays there for
    // the whole pause, however long it took to load.
    m_pauseSince.start();
}

void Form1::pause(std::chrono::milliseconds duration)
{
    m_platform->wait(duration, m_pauseSince);
    m_pauseSince.start();
}

void Form1::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    // Everything still running inside a handler ends now: a fetch, the animation's
    // waits and any message box opened from them.
    Inet1->abort();
    m_platform->cancelWaits();
    for (QWidget *box : findChildren<QMessageBox *>())
        if (box->isVisible())
            box->close();
    QWidget::closeEvent(event);
}
