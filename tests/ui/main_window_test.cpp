#include "support/FakeSerialPort.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "ui/DesktopShell.h"
#include "ui/IndicatorLight.h"
#include "ui/MainWindow.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTranslator>

#include <gtest/gtest.h>

using namespace tavlun;
using QMB = QMessageBox;

namespace {

class NoShell final : public ui::DesktopShell {
public:
    void open(QWidget *, const QString &) override {}
};

const QString kIdle = QStringLiteral(" Port Seçip cihazı bağlayın...");
const QString kConnectText = QStringLiteral("Seçilen Port Üzerinden\n\rBağlanmak İstiyormusunuz");
const QString kBusyText = QStringLiteral("Seçilen Port Meşgul veya \n\r Bağlantı Kurulmuyor...");

class MainWindowTest : public ::testing::Test {
protected:
    void start(QSet<int> openable)
    {
        port.openable = std::move(openable);
        window = std::make_unique<ui::MainWindow>(port, nullptr, injector, shell);
        combo = window->findChild<QComboBox *>(QStringLiteral("Combo1"));
        disconnect = window->findChild<QPushButton *>(QStringLiteral("Command1"));
        shape = window->findChild<ui::IndicatorLight *>(QStringLiteral("Shape1"));
        log = window->findChild<QListWidget *>(QStringLiteral("commesaj"));
        text = window->findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
        prompt = window->findChild<QLabel *>(QStringLiteral("Label1"));
        ASSERT_TRUE(combo && disconnect && shape && log && text && prompt);
    }

    QStringList entries() const
    {
        QStringList list;
        for (int i = 0; i < combo->count(); ++i)
            list << combo->itemText(i);
        return list;
    }

    // The user picks the entry for `number` and answers the box.
    void pick(int number, QMB::StandardButton answer)
    {
        answerer.setAnswers({answer});
        const int index = combo->findText(QStringLiteral("Com - %1").arg(number));
        ASSERT_GE(index, 0) << "port " << number << " is not listed";
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    bool connectedLook() const
    {
        return shape->fillColor() == QColor(0, 0, 255) && disconnect->isEnabled()
            && !combo->isEnabled();
    }
    bool disconnectedLook() const
    {
        return shape->fillColor() == window->palette().color(QPalette::Base)
            && !disconnect->isEnabled() && combo->isEnabled();
    }

    test::FakeSerialPort port;
    test::RecordingInjector injector;
    NoShell shell;
    test::ModalAnswerer answerer;
    std::unique_ptr<ui::MainWindow> window;
    QComboBox *combo = nullptr;
    QPushButton *disconnect = nullptr;
    ui::IndicatorLight *shape = nullptr;
    QListWidget *log = nullptr;
    QPlainTextEdit *text = nullptr;
    QLabel *prompt = nullptr;
};

TEST_F(MainWindowTest, ProbeListsExactlyThePortsThatOpen)
{
    start({});
    EXPECT_EQ(combo->count(), 0);
    EXPECT_EQ(window->connection().portCount(), 0);
    EXPECT_EQ(prompt->text(), kIdle);
    EXPECT_TRUE(disconnectedLook());
    EXPECT_FALSE(port.isOpen());

    port.openable = {2, 5, 9};
    window->connection().PortSifirla();
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("Com - 2"), QStringLiteral("Com - 5"),
                                      QStringLiteral("Com - 9")}));

    port.openable = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    window->connection().PortSifirla();
    ASSERT_EQ(combo->count(), 10);
    EXPECT_EQ(combo->itemText(9), QStringLiteral("Com - 10"));
    EXPECT_EQ(window->connection().portCount(), 10);
    EXPECT_FALSE(port.isOpen()) << "the probe closes every port it opened";

    port.openable = {4};
    window->connection().PortSifirla();
    EXPECT_EQ(entries(), QStringList{QStringLiteral("Com - 4")});
}

TEST_F(MainWindowTest, PickAndYesConnectsAtNineThousandSixHundredBaud)
{
    start({3, 7});
    port.calls.clear();
    pick(7, QMB::Yes);
    ASSERT_EQ(answerer.seen().size(), 1);
    EXPECT_EQ(answerer.seen()[0].title, QStringLiteral("Port Aç"));
    EXPECT_EQ(answerer.seen()[0].text, kConnectText);
    EXPECT_EQ(answerer.seen()[0].icon, QMB::Question);
    EXPECT_EQ(answerer.seen()[0].buttons, QMB::Yes | QMB::No);

    EXPECT_EQ(port.calls, (QStringList{QStringLiteral("threshold 1"), QStringLiteral("input length 0"),
                                       QStringLiteral("number 7"), QStringLiteral("settings 9600,N,8,1"),
                                       QStringLiteral("open")}));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 7);
    EXPECT_TRUE(connectedLook());
}

TEST_F(MainWindowTest, PickAndNoResetsButKeepsTheSession)
{
    start({1});
    text->setPlainText(QStringLiteral("kept"));
    log->addItem(QStringLiteral("-> kept"));
    prompt->setText(QStringLiteral(" SMS Tuşuna Basın..."));
    pick(1, QMB::No);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(entries(), QStringList{QStringLiteral("Com - 1")});
    EXPECT_TRUE(disconnectedLook());
    EXPECT_EQ(text->toPlainText(), QStringLiteral("kept"));
    EXPECT_EQ(log->count(), 1);
    EXPECT_EQ(prompt->text(), QStringLiteral(" SMS Tuşuna Basın..."));
}

TEST_F(MainWindowTest, FailedOpenReportsOnceThenResets)
{
    start({1, 2});
    port.openable.remove(2); // taken by another program since the probe
    answerer.setAnswers({QMB::Yes, QMB::Ok});
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    ASSERT_EQ(answerer.seen().size(), 2);
    EXPECT_EQ(answerer.seen()[1].title, QStringLiteral("Port Hata..."));
    EXPECT_EQ(answerer.seen()[1].text, kBusyText);
    EXPECT_EQ(answerer.seen()[1].icon, QMB::Question);
    EXPECT_EQ(answerer.seen()[1].buttons, QMB::StandardButtons(QMB::Ok));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(entries(), QStringList{QStringLiteral("Com - 1")});
    EXPECT_TRUE(disconnectedLook());

    // Freed again, the next reset lists it.
    port.openable.insert(2);
    window->connection().PortSifirla();
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("Com - 1"), QStringLiteral("Com - 2")}));
}

TEST_F(MainWindowTest, PortListHelpSaysWhyPortsAreMissing)
{
    start({});
    EXPECT_TRUE(combo->toolTip().contains(QStringLiteral("Seri port bulunamadı")))
        << combo->toolTip().toStdString();

    port.openable = {1, 2};
    window->connection().PortSifirla();
    EXPECT_TRUE(combo->toolTip().isEmpty()) << "nothing to explain";

    port.openable.remove(2);
    answerer.setAnswers({QMB::Yes, QMB::Ok});
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    EXPECT_EQ(combo->toolTip(), QStringLiteral("Son bağlantı hatası: Device or resource busy"));
}

TEST_F(MainWindowTest, DisconnectClearsTheSessionAndListsThePortAgain)
{
    start({10});
    pick(10, QMB::Yes);
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 10);
    port.deliver(QStringLiteral("AT+CGMR\rAT+CKPD=\"222\"\r"));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("C"));
    EXPECT_EQ(log->count(), 4);
    EXPECT_EQ(log->currentRow(), 2);
    EXPECT_EQ(prompt->text(), QStringLiteral(" Klavye hazır. Bir Tuşa basın..."));

    disconnect->click();
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(text->toPlainText().isEmpty());
    EXPECT_EQ(log->count(), 0);
    EXPECT_EQ(prompt->text(), kIdle);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("Com - 10")});
    EXPECT_TRUE(disconnectedLook());
}

TEST_F(MainWindowTest, LostDeviceResetsTheListAndKeepsWhatArrived)
{
    start({1});
    pick(1, QMB::Yes);
    port.deliver(QStringLiteral("AT+CKPD=\"33\"\rAT+CKPD=\"4"));
    port.unplug();
    QApplication::processEvents();
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(disconnectedLook());
    EXPECT_EQ(combo->count(), 0) << "the unplugged port no longer opens";
    EXPECT_EQ(text->toPlainText(), QStringLiteral("E"));
    EXPECT_EQ(log->count(), 2);
    EXPECT_EQ(prompt->text(), QStringLiteral(" Port Seçip cihazı bağlayın...")) << "back to the start text";

    // Plugged in again: a new connection starts with an empty buffer.
    port.openable.insert(1);
    window->connection().PortSifirla();
    pick(1, QMB::Yes);
    port.deliver(QStringLiteral("AT+CKPD=\"5\"\r"));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("EJ"));
    EXPECT_EQ(log->item(log->count() - 2)->text(), QStringLiteral("-> AT+CKPD=\"5\""));
}

TEST_F(MainWindowTest, UnloadClosesAnOpenPortAndLeavesAClosedOneAlone)
{
    start({1});
    port.calls.clear();
    window->close();
    EXPECT_FALSE(port.calls.contains(QStringLiteral("close")));

    start({1});
    pick(1, QMB::Yes);
    ASSERT_TRUE(port.isOpen());
    window->close();
    EXPECT_FALSE(port.isOpen());
}

TEST_F(MainWindowTest, ButtonsSpeakTheUsersLanguage)
{
    QTranslator turkish;
    ASSERT_TRUE(ui::installQtTranslations(*qApp, turkish, QLocale(QLocale::Turkish, QLocale::Turkey)))
        << "Qt's Turkish translations are missing";
    start({1});
    pick(1, QMB::No);
    QApplication::removeTranslator(&turkish);
    ASSERT_EQ(answerer.seen().size(), 1);
    QStringList texts = answerer.seen()[0].buttonTexts;
    texts.sort();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("&Evet"), QStringLiteral("&Hayır")}));
}

TEST_F(MainWindowTest, CaptionCarriesTheVersionAndIsTheApplicationTitle)
{
    start({});
    const QString expected = QStringLiteral("Tavlun    Ver. 1.0.4");
    EXPECT_EQ(window->windowTitle(), expected);
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), expected);
    // Showing a window sets the display name aside for a moment only.
    window->show();
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), expected) << "after a showing";
}

TEST_F(MainWindowTest, DeliveryFollowsTheWindowState)
{
    start({1});
    pick(1, QMB::Yes);
    text->setPlainText(QStringLiteral("AB"));
    QTextCursor middle = text->textCursor();
    middle.setPosition(0);
    middle.setPosition(1, QTextCursor::KeepAnchor);
    text->setTextCursor(middle);
    port.deliver(QStringLiteral("AT+CKPD=\"222\"\r"));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("ABC"));
    EXPECT_EQ(text->textCursor().position(), 3);
    EXPECT_FALSE(text->textCursor().hasSelection());
    EXPECT_TRUE(injector.sent.isEmpty());

    // The clear key takes the last character back in the text box itself.
    port.deliver(QStringLiteral("AT+CKPD=\"c\"\r"));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("AB"));
    EXPECT_TRUE(injector.sent.isEmpty());
    port.deliver(QStringLiteral("AT+CKPD=\"3\"\r"));

    window->setWindowState(Qt::WindowMinimized);
    port.deliver(QStringLiteral("AT+CKPD=\"222\"\rAT+CKPD=\"s\"\rAT+CKPD=\"c\"\r"));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("ABD"));
    EXPECT_EQ(injector.sent, (QStringList{QStringLiteral("C"), QStringLiteral("{ENTER}"),
                                          QStringLiteral("{BACKSPACE}")}));
}

} // namespace
