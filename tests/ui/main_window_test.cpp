// The main window and its session on real pseudo-terminals: the port list,
// connecting, the dialogue with the accessory, what the window shows.
#include "app/Session.h"
#include "support/ModalAnswerer.h"
#include "support/Pty.h"
#include "support/WaitFor.h"
#include "ui/DesktopShell.h"
#include "ui/IndicatorLight.h"
#include "ui/MainWindow.h"
#include "ui/PendingUpdates.h"
#include "ui/TextBox.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

using namespace tavlun;
using QMB = QMessageBox;
using test::waitFor;

namespace {

struct NoShell final : ui::DesktopShell {
    void open(QWidget *, const QString &) override {}
};

struct Keys final : link::KeyInjector {
    QStringList sent;
    bool sendKeys(const QString &keys) override
    {
        sent << keys;
        return true;
    }
};

const QString kReady = " Klavye hazır. Bir Tuşa basın...";

class Window : public ::testing::Test {
protected:
    // Ports 1 and 3 are pseudo-terminals; no device opens as port 2.
    Window()
    {
        session = std::make_unique<app::Session>(
            window, keys, QStringList{phone.devicePath(), "/dev/tavlun-missing", spare.devicePath()});
    }
    template <typename T> T *control(const char *name)
    {
        return window.findChild<T *>(QString::fromLatin1(name));
    }
    QStringList entries()
    {
        QStringList list;
        for (int i = 0; i < combo->count(); ++i)
            list << combo->itemText(i) + "=" + combo->itemData(i).toString() + " "
                    + combo->itemData(i, Qt::ToolTipRole).toString();
        return list;
    }
    void pick(int index, QMB::StandardButton answer)
    {
        answerer.setAnswers({answer});
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    bool connected()
    {
        const bool blue = control<ui::IndicatorLight>("Shape1")->fillColor() == QColor(0, 0, 255);
        EXPECT_TRUE(blue == disconnect->isEnabled() && blue != combo->isEnabled());
        return blue;
    }
    // Writes lines as the accessory would and waits for every answer.
    void send(const QByteArray &lines)
    {
        ASSERT_TRUE(phone.write(lines));
        const QByteArray want = QByteArray("OK\r\n").repeated(lines.count('\r'));
        QByteArray got;
        ASSERT_TRUE(waitFor([&] { return (got += phone.readAtLeast(1, std::chrono::milliseconds(1))) == want; }))
            << "sent " << lines.toStdString() << ", answered " << got.toStdString();
    }
    QStringList logEntries()
    {
        QStringList list;
        for (int i = 0; i < log->count(); ++i)
            list << log->item(i)->text();
        return list;
    }
    void type(Qt::Key key, const QString &text)
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(textBox, &press);
    }

    test::ModalAnswerer answerer;
    test::Pty phone, spare;
    NoShell shell;
    Keys keys;
    ui::MainWindow window{shell};
    std::unique_ptr<app::Session> session;
    QComboBox *combo = control<QComboBox>("Combo1");
    QPushButton *disconnect = control<QPushButton>("Command1");
    QListWidget *log = control<QListWidget>("commesaj");
    ui::TextBox *textBox = control<ui::TextBox>("Text1");
    QLabel *prompt = control<QLabel>("Label1");
};

TEST_F(Window, ConnectsToThePickedPortAnswersAndShowsTheDialogue)
{
    EXPECT_EQ(window.windowTitle(), "Tavlun    Ver. 1.0.4");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), window.windowTitle());
    const QStringList listed{"Com - 1=1 " + phone.devicePath(), "Com - 3=3 " + spare.devicePath()};
    ASSERT_EQ(entries().mid(0, 2), listed);
    EXPECT_FALSE(connected());

    pick(1, QMB::No);
    ASSERT_EQ(answerer.seen().size(), 1);
    EXPECT_EQ(answerer.seen()[0].text, "Seçilen Port Üzerinden\n\rBağlanmak İstiyormusunuz");
    EXPECT_EQ(answerer.seen()[0].title, "Port Aç");
    EXPECT_FALSE(connected());
    EXPECT_EQ(entries().mid(0, 2), listed) << "No probes again";

    pick(1, QMB::Yes);
    ASSERT_TRUE(connected());
    EXPECT_EQ(combo->currentText(), "Com - 3");
    // The port number is the entry's: port 3 is the spare line, not the phone.
    ASSERT_TRUE(spare.write("AT+CGMR\r"));
    EXPECT_EQ(spare.readAtLeast(4, std::chrono::seconds(3)), "OK\r\n") << "connected to the wrong port";

    disconnect->click();
    pick(0, QMB::Yes);
    send("AT+CGMR\r");
    waitFor([&] { return log->count() == 2; });
    EXPECT_EQ(prompt->text(), " SMS Tuşuna Basın...");
    send("AT+CKPD=\"222\"\r\nAT+CKPD=\"8\"\r");
    EXPECT_TRUE(waitFor([&] { return log->count() == 6; }));
    EXPECT_EQ(logEntries(), (QStringList{"-> AT+CGMR", "<- OK", "-> AT+CKPD=\"222\"", "<- OK",
                                         "-> AT+CKPD=\"8\"", "<- OK"}));
    EXPECT_EQ(log->currentRow(), 4);
    EXPECT_EQ(prompt->text(), kReady);
    EXPECT_EQ(textBox->text(), "CT");

    disconnect->click();
    EXPECT_FALSE(connected());
    EXPECT_EQ(log->count(), 0);
    EXPECT_TRUE(textBox->text().isEmpty());
    EXPECT_EQ(prompt->text(), " Port Seçip cihazı bağlayın...");
    EXPECT_EQ(entries().mid(0, 2), listed) << "the port just closed is listed again";
    EXPECT_TRUE(keys.sent.isEmpty());

    window.close();
    pick(0, QMB::Yes);
    window.close();
    EXPECT_FALSE(session->link().isOpen()) << "closing the window leaves the port open";
}

TEST_F(Window, BusyAndLostPortsResetTheList)
{
    serial::SerialPort holder;
    ASSERT_TRUE(holder.open(phone.devicePath()));
    pick(0, QMB::Yes);
    ASSERT_EQ(answerer.seen().size(), 2);
    EXPECT_EQ(answerer.seen()[1].text, "Seçilen Port Meşgul veya \n\r Bağlantı Kurulmuyor...");
    EXPECT_EQ(answerer.seen()[1].title, "Port Hata...");
    EXPECT_FALSE(connected());
    EXPECT_EQ(combo->itemText(0), "Com - 3") << "a held port is listed";

    holder.close();
    session->connection().PortSifirla();
    pick(0, QMB::Yes);
    ASSERT_TRUE(connected());
    send("AT+CKPD=\"33\"\r");
    ASSERT_TRUE(phone.write("AT+CKPD=\"4"));
    phone.closeController();
    phone.closeDevice();
    EXPECT_TRUE(waitFor([&] { return !connected(); })) << "a lost device keeps the connection";
    window.flushUpdates();
    EXPECT_EQ(textBox->text(), "E");
    EXPECT_EQ(log->count(), 2) << "the log is kept";
    EXPECT_EQ(prompt->text(), " Port Seçip cihazı bağlayın...") << "back to the start text";
    EXPECT_EQ(combo->itemText(0), "Com - 3") << "a lost device is listed";
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
    EXPECT_EQ(textBox->text(), "2x4y");

    // Minimised, keys go to the focused application in their order.
    pick(0, QMB::Yes);
    ASSERT_TRUE(connected());
    window.setWindowState(Qt::WindowMinimized);
    send("AT+CKPD=\"s\"\rAT+CKPD=\"e\"\rAT+CKPD=\"c\"\rAT+CKPD=\"1111\"\r");
    EXPECT_TRUE(waitFor([&] { return keys.sent.size() >= 4; }));
    EXPECT_EQ(keys.sent, (QStringList{"{ENTER}", "{ESC}", "{BACKSPACE}", "!"}));
    window.flushUpdates();
    EXPECT_EQ(textBox->text(), "2x4y");
}

TEST_F(Window, TheLogKeepsItsNewestEntriesUpToItsLimit)
{
    constexpr int limit = ui::PendingUpdates::kMaxLogEntries;
    for (int i = 0; i < limit; ++i)
        window.addLogEntry(QString::number(i));
    window.flushUpdates();
    EXPECT_EQ(log->count(), limit);
    EXPECT_EQ(log->item(0)->text(), "0");
    window.addLogEntry("-> new");
    window.addLogEntry("<- OK");
    window.flushUpdates();
    const int kept = limit + 2 - ui::PendingUpdates::kTrimBatch;
    ASSERT_EQ(log->count(), kept);
    EXPECT_EQ(log->item(0)->text(), QString::number(ui::PendingUpdates::kTrimBatch));
    EXPECT_EQ(log->currentRow(), kept - 2);
    EXPECT_EQ(log->currentItem()->text(), "-> new");
}

} // namespace
