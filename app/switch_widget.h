#pragma once
// An on/off switch. Like every button it raises clicked() only when the user toggles it, after
// its new state is set; setChecked() from code raises no click.

#include <QAbstractButton>

namespace nimbrel {

class Switch : public QAbstractButton {
    Q_OBJECT
public:
    explicit Switch(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace nimbrel
