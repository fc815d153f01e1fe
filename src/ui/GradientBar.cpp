#include "ui/GradientBar.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

namespace tl::ui {

GradientBar::GradientBar(QWidget* parent) : QWidget(parent) {}

bool GradientBar::setValue(int value)
{
    value = std::clamp(value, 0, 100);
    if (value == value_)
        return false;
    value_ = value;
    update();
    emit valueChanged(value_);
    return true;
}

void GradientBar::setEndColor(const QColor& color)
{
    endColor_ = color;
    update();
}

void GradientBar::setBorderColor(const QColor& color)
{
    borderColor_ = color;
    update();
}

void GradientBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(inner, Qt::white);
    const int filled = inner.width() * value_ / 100;
    if (filled > 0) {
        const QRect bar(inner.left(), inner.top(), filled, inner.height());
        QLinearGradient gradient(bar.topLeft(), bar.topRight());
        gradient.setColorAt(0, Qt::white);
        gradient.setColorAt(1, endColor_);
        painter.fillRect(bar, gradient);
    }
    // The border line.
    painter.setPen(borderColor_);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace tl::ui
