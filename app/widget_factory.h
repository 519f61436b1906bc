#pragma once
// Small helpers that make a named widget at its laid-out place. Every widget carries its name as
// its objectName, which is how the tests and assistive technology find it.

#include "app/switch_widget.h"

#include <QLabel>
#include <QLineEdit>

namespace nimbrel {

template <typename W> W* make(QWidget* parent, const char* name, QRect geometry = {})
{
    auto* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    if (geometry.isValid())
        widget->setGeometry(geometry);
    return widget;
}

inline QLabel* makeLabel(QWidget* parent, const char* name, QRect geometry, const char* text,
                         Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* label = make<QLabel>(parent, name, geometry);
    label->setText(QString::fromLatin1(text));
    label->setAlignment(alignment);
    return label;
}

inline QLineEdit* makeEdit(QWidget* parent, const char* name, QRect geometry,
                           const char* accessibleName)
{
    auto* edit = make<QLineEdit>(parent, name, geometry);
    edit->setAccessibleName(QString::fromLatin1(accessibleName));
    return edit;
}

// Switches start on, as every switch of the window does.
inline Switch* makeSwitch(QWidget* parent, const char* name, QRect geometry,
                          const char* accessibleName)
{
    auto* toggle = make<Switch>(parent, name, geometry);
    toggle->setChecked(true);
    toggle->setAccessibleName(QString::fromLatin1(accessibleName));
    return toggle;
}

struct ControlText {
    QWidget* control;
    const char* name; // nullptr: the control's visible text names it
    const char* description;
};

// What assistive technology reads for each control.
inline void describe(std::initializer_list<ControlText> texts)
{
    for (const auto& [control, name, description] : texts) {
        if (name)
            control->setAccessibleName(QString::fromLatin1(name));
        control->setAccessibleDescription(QString::fromLatin1(description));
    }
}

} // namespace nimbrel
