#pragma once

#include "animation/animationplayer.h"
#include "archive/picturefetcher.h"

#include <QElapsedTimer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>

class Failure;
class Platform;
class PictureBox;
class PictureList;
class QGroupBox;
class QLabel;
class QPushButton;

// The program's only window: the controls, the three state fields, and one handler per
// command, each doing its whole work straight through.
class Form1 : public QWidget, private AnimationStage
{
    Q_OBJECT

public:
    // Where the window meets the outside world. The program passes only its own folder;
    // tests hand in a local picture address, a short time-out or a platform of their own.
    struct Seams
    {
        QString programFolder;
        QUrl pictureAddress = PictureFetcher::PictureAddress;
        std::chrono::milliseconds fetchTimeout = PictureFetcher::RequestTimeout;
        Platform *platform = nullptr;   // nullptr: the real system
    };

    enum WaehlenIndex { SelectAll = 0, SelectNone = 1, DeleteSelected = 2, Animate = 3 };

    explicit Form1(const Seams &seams);

    // The controls, by the names the program has always used for them.
    QGroupBox *const Frame2;
    QPushButton *const CommandInfo;
    QPushButton *const CommandDownload;
    QLabel *const Label1;
    PictureList *const List1;
    const std::array<QPushButton *, 4> CommandWaehlen;
    PictureBox *const Image1;
    PictureFetcher *const Inet1;

    // The state fields.
    QString DLPfad;
    QString CWCaption;
    bool AnimGo = false;

signals:
    // A picture was put on view by the animation (the bare file name).
    void pictureShown(const QString &fileName);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load(const QString &programFolder);
    void CommandInfo_Click();
    void CommandDownload_Click();
    void CommandWaehlen_Click(int index);
    void RefreshFileList();

    QByteArray fetchPicture();
    void deleteSelectedFiles();
    void startAnimation();
    void stopAnimation();
    void refuse(const QString &text);

    // The failure policy: a Failure ends the handler and is reported; the program goes on.
    void runHandler(const std::function<void()> &handler);
    void report(const Failure &failure);

    int entryCount() const override;
    bool entrySelected(int index) const override;
    void showEntry(int index) override;
    bool animationGoesOn() const override { return AnimGo; }
    bool windowClosing() const override { return m_closing; }
    void pause(std::chrono::milliseconds duration) override;

    Platform *m_platform = nullptr;
    QElapsedTimer m_pauseSince;   // pauses count from the last picture's showing or pause
    bool m_closing = false;
};
