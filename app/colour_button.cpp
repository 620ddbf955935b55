#include "app/colour_button.h"

#include <QColorDialog>
#include <QGridLayout>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QWidgetAction>

namespace {

constexpr int kColumns = 5;

// Palette entries as 0xRRGGBB.
constexpr uint32_t kPalette[] = {
    0x000000, 0x404040, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x800000, 0xFF0000, 0xFF8080, 0x804000,
    0xFF8000, 0x808000, 0xFFFF00, 0x008000, 0x00FF00, 0x80FF80, 0x008080, 0x00FFFF, 0x000080,
    0x0000FF, 0x8080FF, 0x800080, 0xFF00FF, 0xBDB500, 0xBF00C6, 0x00B9BE};

QColor ToQColor(uint32_t buttonValue) {
    return QColor(static_cast<int>(buttonValue & 0xFF), static_cast<int>((buttonValue >> 8) & 0xFF),
                  static_cast<int>((buttonValue >> 16) & 0xFF));
}

uint32_t FromQColor(const QColor& c) {
    return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
           static_cast<uint32_t>(c.blue()) << 16;
}

} // namespace

ColourButton::ColourButton(QWidget* parent) : QPushButton(parent) {
    connect(this, &QPushButton::clicked, this, &ColourButton::ShowPalette);
}

void ColourButton::SetColour(uint32_t buttonValue) {
    m_colour = buttonValue & 0xFFFFFF;
    update();
}

void ColourButton::Pick(uint32_t buttonValue) {
    SetColour(buttonValue);
    emit colourPicked(m_colour);
}

void ColourButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(rect().adjusted(5, 4, -5, -4), ToQColor(m_colour));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(5, 4, -6, -5));
}

void ColourButton::ShowPalette() {
    if (m_palette == nullptr) {
        m_palette = new QMenu(this);
        auto* grid = new QWidget(m_palette);
        auto* layout = new QGridLayout(grid);
        layout->setSpacing(2);
        layout->setContentsMargins(4, 4, 4, 4);
        int index = 0;
        for (uint32_t rgb : kPalette) {
            auto* cell = new QToolButton(grid);
            cell->setFixedSize(18, 18);
            const QColor colour{QRgb(rgb)};
            cell->setStyleSheet(
                QStringLiteral("background-color: %1; border: 1px solid gray;").arg(colour.name()));
            cell->setToolTip(colour.name());
            connect(cell, &QToolButton::clicked, this, [this, colour] {
                m_palette->close();
                Pick(FromQColor(colour));
            });
            layout->addWidget(cell, index / kColumns, index % kColumns);
            ++index;
        }
        auto* gridAction = new QWidgetAction(m_palette);
        gridAction->setDefaultWidget(grid);
        m_palette->addAction(gridAction);
        m_palette->addSeparator();
        connect(m_palette->addAction(tr("Other...")), &QAction::triggered, this,
                &ColourButton::PickOther);
    }
    m_palette->popup(mapToGlobal(rect().bottomLeft()));
}

void ColourButton::PickOther() {
    const QColor chosen = QColorDialog::getColor(ToQColor(m_colour), this);
    if (chosen.isValid()) {
        Pick(FromQColor(chosen));
    }
}
