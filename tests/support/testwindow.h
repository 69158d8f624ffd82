#pragma once

#include "app/form1.h"
#include "app/picturelist.h"
#include "boxanswerer.h"
#include "fakeplatform.h"
#include "testfolder.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Five picture names of one morning, in list order.
inline QStringList fivePictures()
{
    return { "sat070321-1000.gif", "sat070321-1100.gif", "sat070321-1200.gif", "sat070321-1300.gif",
             "sat070321-1400.gif" };
}

// The real window on a temporary folder of pictures (or the folder the seams name), with a fake platform and
// a box answerer ready, for tests that click through it.
struct TestWindow
{
    explicit TestWindow(const QStringList &pictures = {}, Form1::Seams seams = {})
    {
        putPictures(folder.path(), pictures);
        if (seams.programFolder.isEmpty())
            seams.programFolder = folder.path();
        seams.platform = &platform;
        form = std::make_unique<Form1>(seams);
        form->show();
    }

    QString path(const QString &name) const { return form->DLPfad + name; }
    QStringList files() const { return folderContents(form->DLPfad); }
    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    void select(const QStringList &names)
    {
        for (int i = 0; i < form->List1->count(); ++i)
            form->List1->setSelected(i, names.contains(form->List1->text(i)));
    }

    QTemporaryDir folder{ folderTemplate() };
    FakePlatform platform;
    BoxAnswerer boxes;
    std::unique_ptr<Form1> form;
};
