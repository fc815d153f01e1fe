#pragma once
// A progress bar drawn as a horizontal gradient from white to an end colour,
// with a thin border and no percentage text.
#include <QColor>
#include <QWidget>

namespace tl::ui {

class GradientBar : public QWidget {
    Q_OBJECT
public:
    explicit GradientBar(QWidget* parent = nullptr);

    int value() const { return value_; }
    // Clamped to 0..100; true when the value changed.
    bool setValue(int value);
    QColor endColor() const { return endColor_; }
    void setEndColor(const QColor& color);
    void setBorderColor(const QColor& color);

signals:
    void valueChanged(int value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int value_ = 0;
    QColor endColor_{35, 126, 216};
    QColor borderColor_{68, 68, 62};
};

} // namespace tl::ui
