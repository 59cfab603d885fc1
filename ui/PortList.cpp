#include "PortList.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QProxyStyle>
#include <QStyleOptionComboBox>

namespace tavlun::ui {

namespace {

// The desktop's own look with a narrower drop-down arrow and less margin
// around the text: the list is only 65 pixels wide.
class CompactComboStyle final : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option,
                         SubControl part, const QWidget *widget) const override
    {
        constexpr int kArrowWidth = 13;
        constexpr int kFrame = 2;
        const QRect base = QProxyStyle::subControlRect(control, option, part, widget);
        if (control != CC_ComboBox)
            return base;
        const QRect outer = option->rect.adjusted(kFrame, kFrame, -kFrame, -kFrame);
        const QRect arrow(outer.right() - kArrowWidth + 1, outer.top(), kArrowWidth, outer.height());
        if (part == SC_ComboBoxArrow)
            return visualRect(option->direction, option->rect, arrow);
        if (part == SC_ComboBoxEditField)
            return visualRect(option->direction, option->rect,
                              QRect(outer.left() + 1, base.top(), arrow.left() - outer.left() - 2,
                                    base.height()));
        return base;
    }
};

} // namespace

PortList::PortList(QWidget *parent) : QComboBox(parent)
{
    auto *compact = new CompactComboStyle;
    compact->setParent(this);
    setStyle(compact);
}

void PortList::showPopup()
{
    emit aboutToOpen();
    QComboBox::showPopup();
}

bool PortList::isPopupShown() const
{
    return view() && view()->isVisible();
}

void PortList::fitFontTo(const QStringList &texts)
{
    constexpr qreal kSmallestPoints = 6.0;
    constexpr qreal kStep = 0.25;
    QStyleOptionComboBox option;
    initStyleOption(&option);
    // The label is drawn one pixel in from each side of the edit field.
    const int room =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this)
            .width()
        - 2;
    QFont candidate = font();
    for (qreal points = candidate.pointSizeF(); points >= kSmallestPoints; points -= kStep) {
        candidate.setPointSizeF(points);
        const QFontMetrics metrics(candidate);
        bool fits = true;
        for (const QString &text : texts)
            fits = fits && metrics.horizontalAdvance(text) <= room;
        if (fits)
            break;
    }
    setFont(candidate);
}

} // namespace tavlun::ui
