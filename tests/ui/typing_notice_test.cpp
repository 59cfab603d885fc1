#include "support/Recorders.h"
#include "ui/TypingNotice.h"

#include <QApplication>
#include <QMessageBox>

#include <gtest/gtest.h>

using namespace tavlun;

namespace {

QList<QMessageBox *> openBoxes()
{
    QList<QMessageBox *> boxes;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible())
            boxes << box;
    return boxes;
}

TEST(TypingNotice, TellsOnceWhyKeysCannotReachOtherApplications)
{
    test::RecordingInjector unavailable;
    unavailable.succeed = false;
    ui::TypingNotice notice(unavailable, QStringLiteral("no X display (DISPLAY is not set)"));

    EXPECT_FALSE(notice.sendKeys(QStringLiteral("A")));
    EXPECT_FALSE(notice.sendKeys(QStringLiteral("{ENTER}")));
    EXPECT_EQ(unavailable.sent, (QStringList{QStringLiteral("A"), QStringLiteral("{ENTER}")}));

    const QList<QMessageBox *> boxes = openBoxes();
    ASSERT_EQ(boxes.size(), 1) << "the user is told once";
    EXPECT_FALSE(boxes[0]->isModal()) << "the receive flow must not wait for the user";
    EXPECT_TRUE(boxes[0]->text().contains(QStringLiteral("DISPLAY is not set")));
    boxes[0]->close();
    QApplication::processEvents();
}

TEST(TypingNotice, SaysNothingWhenTypingWorks)
{
    test::RecordingInjector available;
    ui::TypingNotice notice(available, QString());
    EXPECT_TRUE(notice.sendKeys(QStringLiteral("B")));
    EXPECT_TRUE(openBoxes().isEmpty());
}

} // namespace
