#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class CAboutDlg;
}

// The About box: the program's version, the NDI runtime's version, the build's bitness
// and the copyright line with the release month.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    // `versionText` is the program's version ("1.0.3.15", may be empty),
    // `releaseDateText` the release month ("Dec-2026"), `runtimeVersionText` what the
    // NDI runtime's version call returned (empty when it returned nothing).
    CAboutDlg(QString versionText, QString releaseDateText, QString runtimeVersionText,
              QWidget* parent = nullptr);
    ~CAboutDlg() override;

    // The runtime's version number: its text's last blank-separated word (trailing
    // blanks ignored), the whole text when it has no blank.
    static QString NdiVersionFrom(const QString& runtimeVersionText);

    Ui::CAboutDlg& Controls() { return *m_ui; }

private:
    void OnInitDialog();

    std::unique_ptr<Ui::CAboutDlg> m_ui;
    QString m_versionText;
    QString m_releaseDateText;
    QString m_runtimeVersionText;
};
