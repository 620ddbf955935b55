#include "dialogs/support_dialog.h"

#include "dialogs/resource_pixmap.h"
#include "dialogs/support_placement.h"
#include "resources/pictures.h"
#include "ui_support_dialog.h"

#include <QLabel>
#include <QScreen>
#include <utility>

SupportDialog::SupportDialog(SupportLinks links, std::function<void(const QUrl&)> openUrl,
                             QWidget* parent, SupportTimings timings)
    : QDialog(parent), m_ui(std::make_unique<Ui::SupportDialog>()), m_links(std::move(links)),
      m_openUrl(std::move(openUrl)), m_timings(timings) {
    m_ui->setupUi(this);
    const QString host = m_links.homePage.host();
    m_ui->m_visitButton->setText(QStringLiteral("Visit ") +
                                 (host.isEmpty() ? m_links.homePage.toString() : host));
    // Picture controls take their picture's size.
    for (auto [control, id] : {std::pair{m_ui->m_socialPicture, picture::kSocialIconOnWhite},
                               {m_ui->m_videoPicture, picture::kVideoIconOnWhite}}) {
        const QPixmap pixmap = ResourcePixmap(id);
        if (!pixmap.isNull()) {
            control->setPixmap(pixmap);
            control->resize(pixmap.size());
        }
    }

    connect(m_ui->m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->m_visitButton, &QPushButton::clicked, this, [this] { Open(m_links.homePage); });
    connect(m_ui->m_storeButton, &QPushButton::clicked, this,
            [this] { Open(m_links.onlineStore); });
    connect(m_ui->m_socialPicture, &ClickPicture::clicked, this,
            [this] { Open(m_links.socialPage); });
    connect(m_ui->m_videoPicture, &ClickPicture::clicked, this,
            [this] { Open(m_links.videoChannel); });

    // Precise, so the window goes when the periods say and not up to 5% early or late.
    for (QTimer* timer : {&m_firstTimer, &m_hideTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_firstTimer, &QTimer::timeout, this,
            [this] { m_hideTimer.start(m_timings.secondMs); });
    connect(&m_hideTimer, &QTimer::timeout, this, &QWidget::hide);
}

SupportDialog::~SupportDialog() = default;

void SupportDialog::Prepare() {
    if (m_pictureBox != nullptr) {
        return;
    }
    m_pictureBox = new QLabel(this);
    m_pictureBox->setGeometry(10, 10, 640, 360);
    m_pictureBox->setPixmap(ResourcePixmap(picture::kSupport));
    m_pictureBox->show();
    m_firstTimer.start(m_timings.firstMs);
}

void SupportDialog::ShowBeside(QWidget& mainWindow) {
    Prepare();
    const QScreen* screen = mainWindow.screen();
    const SupportPlacement placement =
        PlaceSupportBeside(mainWindow.frameGeometry(), frameGeometry().size(),
                           screen != nullptr ? screen->availableGeometry() : QRect());
    mainWindow.move(placement.mainTopLeft);
    move(placement.supportTopLeft);
    show();
}

void SupportDialog::Open(const QUrl& address) {
    if (m_openUrl) {
        m_openUrl(address);
    }
}
