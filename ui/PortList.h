#pragma once

#include <QComboBox>

namespace tavlun::ui {

// The port list: a pick-only drop-down list that says when it is
// about to open, so that what it shows can be probed afresh first, and whose
// font fits its longest text into its fixed width.
class PortList final : public QComboBox {
    Q_OBJECT

public:
    explicit PortList(QWidget *parent = nullptr);

    void showPopup() override;
    bool isPopupShown() const;

    // Makes the font as large as it can be, up to the current one, with
    // every one of `texts` shown whole in the closed list.
    void fitFontTo(const QStringList &texts);

signals:
    // The user is opening the list; the entries may still change.
    void aboutToOpen();
};

} // namespace tavlun::ui
