#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class AboutDialog;
}

// The About box: the program's version, the NDI runtime's version, the build's bitness
// and the copyright line with the release month.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // `versionText` is the program's version ("1.0.3.15", may be empty),
    // `releaseDateText` the release month ("Dec-2026"), `runtimeVersionText` what the
    // NDI runtime's version call returned (empty when it returned nothing).
    AboutDialog(const QString& versionText, const QString& releaseDateText,
                const QString& runtimeVersionText, QWidget* parent = nullptr);
    ~AboutDialog() override;

    // The runtime's version number: its text's last blank-separated word (trailing
    // blanks ignored), the whole text when it has no blank.
    static QString NdiVersionFrom(const QString& runtimeVersionText);

    Ui::AboutDialog& Controls() { return *m_ui; }

private:
    std::unique_ptr<Ui::AboutDialog> m_ui;
};
