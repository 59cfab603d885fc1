// The main window shows what the probe, the session and the receive flow tell
// it, at the next frame, in order; its text box keeps a long unbroken text
// cheap by cutting its paragraph where a line wraps anyway, and the user sees,
// copies and edits one text; the notice about typing elsewhere.
#include "app/Session.h"
#include "core/PortConnection.h"
#include "core/PortHelp.h"
#include "serial/SystemPorts.h"
#include "support/GoldenImage.h"
#include "ui/DesktopShell.h"
#include "ui/MainWindow.h"
#include "ui/PendingUpdates.h"
#include "ui/PortList.h"
#include "ui/TextBox.h"
#include "ui/TypingNotice.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

using namespace tavlun;

namespace {

// Opens the devices present, as the probe tries each port.
struct Port final : core::PortControl {
    QStringList present;
    bool opened = false;
    bool open(const std::string &device) override { return opened = present.contains(QString::fromStdString(device)); }
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
    std::string lastErrorText() const override { return "No such file or directory"; }
};

class Window : public ::testing::Test {
protected:
    template <typename T> T *control(const char *name) { return window.findChild<T *>(QString::fromLatin1(name)); }
    void type(Qt::Key key, QString text) { QKeyEvent e(QEvent::KeyPress, key, {}, text); QApplication::sendEvent(textBox, &e); }

    ui::QtDesktopShell shell; // nothing here opens a link
    ui::MainWindow window{shell};
    ui::PortList *list = control<ui::PortList>("portList");
    QListWidget *log = control<QListWidget>("trafficLog");
    ui::TextBox *textBox = control<ui::TextBox>("textBox");
    QLabel *prompt = control<QLabel>("prompt");
};

TEST_F(Window, ShowsTheProbeAndTheDialogueInOrderAndClearsThemForANewSession)
{
    // The probe lists the devices that open under their port numbers; ten named
    // ones leave no room for the machine's own.
    Port port;
    port.present = {"/dev/ttyS0", "/dev/absent10", "/dev/ttyUSB0"};
    QStringList named{"/dev/ttyS0", "/dev/absent2", "/dev/ttyUSB0"};
    for (int n = 4; n <= core::PortConnection::kHighestPort; ++n)
        named << QStringLiteral("/dev/absent%1").arg(n);
    serial::SystemPorts ports(named);
    core::PortConnection connection(port, ports, window);
    connection.probePorts();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(0) + u'|' + list->itemText(1) + u'|' + list->itemText(2), "Com - 1|Com - 3|Com - 10");
    list->setCurrentIndex(1);
    EXPECT_EQ(window.selectedPortNumber(), 3);
    EXPECT_EQ(list->itemData(0, Qt::ToolTipRole).toString(), "/dev/ttyS0");
    window.setConnectedIndicator(true);

    for (const char *entry : {"-> AT+CGMR", "<- OK", "-> AT+CKPD=\"222\"", "<- OK"})
        window.addLogEntry(entry);
    window.setPrompt(" SMS Tuşuna Basın...");
    window.appendToTextBox("C");
    window.appendToTextBox("T");
    window.show();
    list->setFocus();
    window.flushUpdates();
    EXPECT_EQ(window.focusWidget(), list) << "a focus step nobody asked for";
    window.focusTextBox(); // the focus step after a line
    window.flushUpdates();
    EXPECT_EQ(window.focusWidget(), textBox);
    // The log with the newest command selected, the prompt, the text, the indicator lit.
    EXPECT_TRUE(test::looksLike(window.grab().toImage(), QStringLiteral("main-window")));
    list->setFocus(); // the user's own choice, until the next line
    window.flushUpdates();
    EXPECT_EQ(window.focusWidget(), list) << "a focus step was taken again";

    // No to the question leaves nothing picked; Yes connects, or says why it could not.
    const auto pick = [&](QMessageBox::StandardButton answer) {
        list->setCurrentIndex(1);
        QTimer answering; // the answer to the question, OK to a failure
        QObject::connect(&answering, &QTimer::timeout, [answer] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); box && box->isVisible())
                (box->button(answer) ? box->button(answer) : box->button(QMessageBox::Ok))->click();
        });
        answering.start(10);
        connection.portPicked();
    };
    pick(QMessageBox::No);
    EXPECT_EQ(list->currentIndex(), -1) << "No left the entry picked";
    pick(QMessageBox::Yes);
    // A lost device: what arrived before stays, the prompt's start text, the ports probed anew.
    window.addLogEntry("-> AT+CKPD=\"8\"");
    window.setPrompt(" Klavye hazır. Bir Tuşa basın...");
    port.present.removeLast();
    connection.deviceLost();
    window.flushUpdates();
    EXPECT_EQ(std::pair(list->count(), list->currentIndex()), std::pair(2, -1)) << "not probed anew, or a port left picked";
    EXPECT_TRUE(list->toolTip().contains(u"portlar:\n/dev/absent2: böyle") && list->toolTip().endsWith(QString::fromStdString(core::deviceLostText("/dev/ttyUSB0"))))
        << "the list's help, the unlisted ports then the loss: " << qPrintable(list->toolTip());
    EXPECT_EQ(std::pair(log->item(log->count() - 1)->text(), prompt->text()), std::pair(QString("-> AT+CKPD=\"8\""), QString(" Port Seçip cihazı bağlayın...")));
    port.present.removeLast(); // port 10 gone while the user answers
    pick(QMessageBox::Yes);
    EXPECT_TRUE(list->toolTip().endsWith(u"Son bağlantı hatası: /dev/absent10: aygıt artık yok (çıkarılmış olabilir). Aygıtı takıp portu yeniden seçin."))
        << qPrintable(list->toolTip());

    window.setPrompt(" SMS Tuşuna Basın...");
    window.flushUpdates();
    window.addLogEntry("-> AT");
    list->setFocus();
    window.focusTextBox();
    window.clearSession();
    window.flushUpdates();
    EXPECT_EQ(std::tuple(window.focusWidget(), log->count(), textBox->text(), prompt->text()),
              std::tuple(list, 0, QString(), QString(" Port Seçip cihazı bağlayın..."))) << "a focus step or update outlived the new session";

    // The log keeps its newest entries up to its limit.
    constexpr int limit = ui::PendingUpdates::kMaxLogEntries, batch = ui::PendingUpdates::kTrimBatch;
    for (int i = 0; i < limit; ++i)
        window.addLogEntry(std::to_string(i));
    window.flushUpdates();
    EXPECT_EQ(log->count(), limit);
    for (const char *entry : {"-> new", "<- OK"})
        window.addLogEntry(entry);
    window.flushUpdates();
    ASSERT_EQ(log->count(), limit + 2 - batch);
    EXPECT_EQ(std::pair(log->item(0)->text(), log->currentItem()->text()), std::pair(QString::number(batch), QString("-> new")));
}

TEST_F(Window, ReceivedTextAndTheUsersKeysKeepTheirOrder)
{
    // What arrived before a key the user types comes before it, and the
    // clear key acts on the character before it.
    window.appendToTextBox("2");
    type(Qt::Key_X, "x");
    window.appendToTextBox("3");
    window.backspaceInTextBox();
    window.appendToTextBox("4");
    type(Qt::Key_Y, "y");
    EXPECT_EQ(std::pair(textBox->text(), prompt->text()), std::pair(QString("2x4y"), QString(" Port Seçip cihazı bağlayın...")))
        << "the start prompt is kept until the link sets one";

    // The clear key reaches the text box as a key press, which flushes what
    // waits first; lines taken in meanwhile must come after the rest.
    int taken = 0;
    window.setUpdateSource([&] {
        if (++taken == 2)
            window.appendToTextBox("B");
    });
    window.backspaceInTextBox();
    window.appendToTextBox("A");
    window.flushUpdates();
    window.flushUpdates();
    EXPECT_EQ(textBox->text(), "2x4AB");
    window.setPrompt(" SMS Tuşuna Basın...");
    QTest::qWait(100);
    EXPECT_EQ(std::pair(taken, prompt->text()), std::pair(3, QString(" SMS Tuşuna Basın..."))) << "one frame's update, and no more until asked";
}

TEST_F(Window, ALineThatArrivedBeforeTheUsersKeyComesBeforeItThroughTheSession)
{
    struct : keystrokes::KeyInjector {
        bool type(core::Key) override { return false; }
    } nowhere;
    app::Session session(window, nowhere);
    session.receive("AT+CKPD=\"2\"\r"); // its events wait for the window's thread
    type(Qt::Key_X, "x");
    EXPECT_EQ(textBox->text(), "Ax");
}

TEST_F(Window, TabWalksTheControlsThatWorkAndTheDisconnectButtonWearsAHand)
{
    QPalette dark = QApplication::palette();
    dark.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(dark); // a dark theme, from here on: the keyboard frame's title stays black
    ui::MainWindow second{shell}; // which asks for the title filter again
    EXPECT_EQ(second.findChild<QWidget *>("keyboardFrame")->palette().color(QPalette::WindowText), QColor(Qt::black));
    window.show();
    EXPECT_LE((window.geometry().center() - window.screen()->availableGeometry().center()).manhattanLength(), 8)
        << "not centred, within the frame's margins";
    QApplication::setActiveWindow(&window);
    list->setFocus();
    QStringList walked;
    for (int step = 0; step < 5; ++step) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
        QApplication::sendEvent(QApplication::focusWidget(), &tab);
        walked << QApplication::focusWidget()->objectName();
    }
    // The disconnect button is off while nothing is connected; Tab leaves the text box.
    EXPECT_EQ(walked.join(u' '), "trafficLog textBox aboutButton portList trafficLog");
    const QPushButton *disconnect = control<QPushButton>("disconnectButton");
    EXPECT_EQ(disconnect->cursor().hotSpot(), QPoint(12, 1));
}

QString repeated(const QString &pattern, int length) { return pattern.repeated(length / pattern.size() + 1).left(length); }

// The text of every wrapped line on screen, in order.
QStringList screenLines(const QPlainTextEdit &box)
{
    QStringList lines;
    for (QTextBlock block = box.document()->firstBlock(); block.isValid(); block = block.next()) {
        box.document()->documentLayout()->blockBoundingRect(block); // lays it out
        for (int i = 0; i < block.layout()->lineCount(); ++i)
            lines << block.text().mid(block.layout()->lineAt(i).textStart(), block.layout()->lineAt(i).textLength());
    }
    return lines;
}

TEST(TextBox, LongTextWrapsCopiesAndEditsAsOneText)
{
    ui::TextBox box;
    QPlainTextEdit reference;
    for (QPlainTextEdit *edit : {static_cast<QPlainTextEdit *>(&box), &reference}) {
        edit->setFont(QFont(QStringLiteral("Tahoma"), 12, QFont::Bold));
        edit->resize(433, 89);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit->show();
    }
    for (const QString &pattern : {QStringLiteral("MERHABA DÜNYA {Yes} 2026, "), QStringLiteral("Ç")}) {
        box.clear();
        const QString text = repeated(pattern, 4 * ui::TextBox::kSoftParagraphLength + 37);
        for (QChar c : text)
            box.appendAtEnd(QString(c));
        reference.setPlainText(text);
        ASSERT_GT(box.document()->blockCount(), 3) << "the paragraph was never cut";
        EXPECT_EQ(box.text(), text);
        EXPECT_EQ(screenLines(box), screenLines(reference)) << "a cut moved a line break";
        box.selectAll();
        box.copy();
        EXPECT_EQ(QApplication::clipboard()->text(), text) << "cuts reached the clipboard";
        const int second = box.document()->firstBlock().next().position(); // just after a cut
        QTextCursor part(box.document());
        part.setPosition(5);
        part.setPosition(second + 5, QTextCursor::KeepAnchor);
        box.setTextCursor(part);
        box.copy();
        EXPECT_EQ(QApplication::clipboard()->text(), text.mid(5, second - 1)) << "a part across a cut";
    }
    // Backspace on a selection that ends just after a cut removes the
    // selection; just after a cut, the character before it.
    QTextCursor selection(box.document());
    selection.setPosition(box.document()->firstBlock().next().position() - 3);
    selection.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    box.setTextCursor(selection);
    QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QApplication::sendEvent(&box, &backspace);
    EXPECT_EQ(box.text().size(), 4 * ui::TextBox::kSoftParagraphLength + 35);
    box.setTextCursor(QTextCursor(box.document()->firstBlock().next()));
    box.verticalScrollBar()->setValue(box.document()->firstBlock().layout()->lineCount()); // the cut's line on top
    QApplication::sendEvent(&box, &backspace);
    EXPECT_EQ(box.text().size(), 4 * ui::TextBox::kSoftParagraphLength + 34);
    EXPECT_GE(box.cursorRect().top(), 0) << "the cursor, now on the line above, was left out of view";
    // Delete just before the last cut removes the character after it; the
    // joined paragraph ends as the last did, so a line break after it stays.
    QTextCursor lastCut(box.document()->lastBlock().previous());
    lastCut.movePosition(QTextCursor::EndOfBlock);
    box.setTextCursor(lastCut);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(&box, &del);
    EXPECT_EQ(box.text().size(), 4 * ui::TextBox::kSoftParagraphLength + 33);
    box.appendAtEnd(QStringLiteral("\nX"));
    EXPECT_TRUE(box.text().endsWith(QStringLiteral("\nX"))) << "a typed line break stays one";
}

struct Keys final : keystrokes::KeyInjector {
    bool type(core::Key key) override { return key == core::Key::enter(); }
};

struct NotifyingShell final : ui::DesktopShell {
    QStringList notified;
    void open(QWidget *, const QString &) override {}
    void notify(const QString &summary, const QString &body) override { notified << summary + u':' + body; }
};

QStringList closeNotices() // the texts of the notices on screen, which close
{
    QStringList told;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible()) {
            EXPECT_FALSE(box->isModal()) << "the link must not wait for the user";
            told << box->text();
            box->close();
        }
    return told;
}

TEST(TypingNotice, TellsOnceWhyKeysCannotReachOtherApplicationsAndEachProblemOnceAndNeverOverTheirApplication)
{
    Keys unavailable, reporting; // keys fail, but for Enter; with a reason to tell, or with none
    NotifyingShell shell;
    ui::MainWindow window(shell);
    window.show();
    ui::TypingNotice notice(unavailable, window, shell, "no X display (DISPLAY is not set)");
    ui::TypingNotice quiet(reporting, window, shell, {});
    EXPECT_EQ(std::tuple(notice.type(core::Key::character('A')), notice.type(core::Key::backspace()),
                         notice.type(core::Key::enter()), quiet.type(core::Key::character('C'))),
              std::tuple(false, false, true, false));
    for (const char *problem : {"ğ yok", "€ yok", "ğ yok"})
        reporting.onProblem(problem);
    // The user is told once why, and once of each problem.
    const QStringList told = closeNotices();
    ASSERT_EQ(told.size(), 3) << told.join(u'|').toStdString();
    EXPECT_EQ(std::tuple(told.filter(QStringLiteral("DISPLAY is not set")).size(), told.filter(QStringLiteral("€ yok")).size()), std::tuple(1, 1));
    // While the keys go elsewhere, a notification says it and the window waits for the main window's return.
    window.setWindowState(Qt::WindowMinimized);
    reporting.onProblem("ç yok");
    EXPECT_EQ(std::pair(closeNotices(), shell.notified), std::pair(QStringList(), QStringList{"Tavlun:ç yok"}));
    window.setWindowState(Qt::WindowNoState);
    EXPECT_EQ(closeNotices(), QStringList{"ç yok"});
}

} // namespace
