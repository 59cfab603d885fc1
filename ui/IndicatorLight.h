#pragma once

#include <QColor>
#include <QWidget>

namespace tavlun::ui {

// An opaque filled circle with a thin black outline: the connection indicator.
class IndicatorLight final : public QWidget {
    Q_OBJECT

public:
    explicit IndicatorLight(QWidget *parent = nullptr);

    void setFillColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor fill_;
};

} // namespace tavlun::ui
