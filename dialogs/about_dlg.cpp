#include "dialogs/about_dlg.h"

#include "dialogs/resource_pixmap.h"
#include "ui_about_dlg.h"

CAboutDlg::CAboutDlg(QString versionText, QString releaseDateText, QString runtimeVersionText,
                     QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CAboutDlg>()),
      m_versionText(std::move(versionText)), m_releaseDateText(std::move(releaseDateText)),
      m_runtimeVersionText(std::move(runtimeVersionText)) {
    m_ui->setupUi(this);
    connect(m_ui->m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    OnInitDialog();
}

CAboutDlg::~CAboutDlg() = default;

QString CAboutDlg::NdiVersionFrom(const QString& runtimeVersionText) {
    // A stray blank at the end would otherwise leave an empty version.
    const QString text = runtimeVersionText.trimmed();
    qsizetype start = text.size();
    while (start > 0 && !text.at(start - 1).isSpace()) {
        --start;
    }
    return text.mid(start);
}

void CAboutDlg::OnInitDialog() {
    const QPixmap picture = ResourcePixmap(140);
    if (!picture.isNull()) {
        m_ui->m_picture->setPixmap(picture);
        // A picture control takes its picture's size.
        m_ui->m_picture->resize(picture.size());
    }
    const int bits = static_cast<int>(sizeof(void*) * 8);
    m_ui->m_versionLine->setText(
        QStringLiteral("Skyfill v%1, NDI® v%2, x%3")
            .arg(m_versionText, NdiVersionFrom(m_runtimeVersionText), QString::number(bits)));
    m_ui->m_copyrightLine->setText(
        QStringLiteral("Copyright © Kova Works, %1").arg(m_releaseDateText));
}
