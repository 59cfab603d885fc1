#include "IndicatorLight.h"

#include <QPainter>

namespace tavlun::ui {

IndicatorLight::IndicatorLight(QWidget *parent) : QWidget(parent)
{
}

void IndicatorLight::setFillColor(const QColor &color)
{
    if (fill_ == color)
        return;
    fill_ = color;
    update();
}

void IndicatorLight::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(fill_);
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace tavlun::ui
