#include "dialogs/about_dialog.h"

#include "dialogs/resource_pixmap.h"
#include "resources/pictures.h"
#include "ui_about_dialog.h"

AboutDialog::AboutDialog(const QString& versionText, const QString& releaseDateText,
                         const QString& runtimeVersionText, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::AboutDialog>()) {
    m_ui->setupUi(this);
    connect(m_ui->m_okButton, &QPushButton::clicked, this, &QDialog::accept);

    const QPixmap pixmap = ResourcePixmap(picture::kProgram);
    if (!pixmap.isNull()) {
        m_ui->m_picture->setPixmap(pixmap);
        // A picture control takes its picture's size.
        m_ui->m_picture->resize(pixmap.size());
    }
    const int bits = static_cast<int>(sizeof(void*) * 8);
    m_ui->m_versionLine->setText(
        QStringLiteral("Skyfill v%1, NDI® v%2, x%3")
            .arg(versionText, NdiVersionFrom(runtimeVersionText), QString::number(bits)));
    m_ui->m_copyrightLine->setText(
        QStringLiteral("Copyright © Kova Works, %1").arg(releaseDateText));
}

AboutDialog::~AboutDialog() = default;

QString AboutDialog::NdiVersionFrom(const QString& runtimeVersionText) {
    // A stray blank at the end would otherwise leave an empty version.
    const QString text = runtimeVersionText.trimmed();
    qsizetype start = text.size();
    while (start > 0 && !text.at(start - 1).isSpace()) {
        --start;
    }
    return text.mid(start);
}
