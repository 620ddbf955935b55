#pragma once

#include <QLabel>

// A picture that acts as a link: a press and release inside it emit clicked().
class ClickPicture : public QLabel {
    Q_OBJECT
public:
    explicit ClickPicture(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};
