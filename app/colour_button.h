#pragma once

#include <QPushButton>
#include <cstdint>

class QMenu;

// A push button that shows a colour swatch and, when clicked, a palette of five
// columns with an "Other..." entry that opens the full colour dialog. Values carry red
// in the low byte, then green, then blue.
class ColourButton : public QPushButton {
    Q_OBJECT
public:
    explicit ColourButton(QWidget* parent = nullptr);

    uint32_t Colour() const { return m_colour; }
    // Shows `buttonValue` without reporting a pick.
    void SetColour(uint32_t buttonValue);
    // What a pick does: shows the colour, then reports it.
    void Pick(uint32_t buttonValue);

signals:
    void colourPicked(uint32_t buttonValue);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ShowPalette();
    void PickOther();

    uint32_t m_colour = 0;
    QMenu* m_palette = nullptr;
};
