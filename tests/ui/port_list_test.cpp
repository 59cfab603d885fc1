#include "ui/DesktopShell.h"
#include "ui/MainWindow.h"
#include "ui/PortList.h"

#include <QFontMetrics>
#include <QStyleOptionComboBox>

#include <gtest/gtest.h>

using namespace tavlun::ui;

namespace {

class NoShell final : public DesktopShell {
public:
    void open(QWidget *, const QString &) override {}
};

// Every entry and the prompt are shown whole in the closed list, in the font
// and style that the running program has, at the window's fixed size.
TEST(PortList, ShowsEveryEntryAndThePromptWholeWhenClosed)
{
    NoShell shell;
    MainWindow window(shell);
    window.show();
    auto *list = window.findChild<PortList *>(QStringLiteral("Combo1"));
    ASSERT_NE(list, nullptr);
    QStringList texts{list->placeholderText()};
    for (int number = 1; number <= 10; ++number)
        texts << QStringLiteral("Com - %1").arg(number);
    for (const QString &text : texts) {
        list->addItem(text);
        list->setCurrentIndex(list->count() - 1);
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.currentText = text;
        const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                          QStyle::SC_ComboBoxEditField, list);
        const int needed = QFontMetrics(list->font()).horizontalAdvance(text);
        EXPECT_LE(needed, field.width() - 2)
            << '"' << text.toStdString() << "\" needs " << needed << " pixels, the list shows "
            << field.width() - 2 << " at " << list->font().pointSizeF() << " points";
    }
}

} // namespace
