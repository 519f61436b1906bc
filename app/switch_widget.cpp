#include "app/switch_widget.h"

#include <QPainter>

namespace nimbrel {

Switch::Switch(QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

QSize Switch::sizeHint() const
{
    return {57, 28};
}

void Switch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(3, height() * 0.2, -3, -height() * 0.2);
    const qreal radius = track.height() / 2;
    const QColor on = isEnabled() ? QColor(0x1E, 0x88, 0xE5) : QColor(0x9F, 0xC4, 0xE8);
    const QColor off = isEnabled() ? QColor(0xB0, 0xB0, 0xB0) : QColor(0xD8, 0xD8, 0xD8);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isChecked() ? on : off);
    painter.drawRoundedRect(track, radius, radius);

    const qreal knob = track.height() + 4;
    const qreal x = isChecked() ? track.right() - knob + 2 : track.left() - 2;
    painter.setBrush(Qt::white);
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    painter.drawEllipse(QRectF(x, track.center().y() - knob / 2, knob, knob));
    if (hasFocus()) {
        painter.setPen(QPen(palette().highlight(), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
}

} // namespace nimbrel
