#include "dialogs/ad_dialog.h"

#include "dialogs/resource_pixmap.h"
#include "dialogs/support_placement.h"
#include "ui_ad_dialog.h"

#include <QScreen>
#include <QTimerEvent>
#include <utility>

AdDialog::AdDialog(SupportLinks links, std::function<void(const QUrl&)> openUrl, QWidget* parent,
                   SupportTimings timings)
    : QDialog(parent), m_ui(std::make_unique<Ui::AdDialog>()), m_links(std::move(links)),
      m_openUrl(std::move(openUrl)), m_timings(timings) {
    m_ui->setupUi(this);
    m_ui->m_okButton->hide();
    m_ui->m_templatePicture->hide();
    const QString host = m_links.homePage.host();
    m_ui->m_visitButton->setText(QStringLiteral("Visit ") +
                                 (host.isEmpty() ? m_links.homePage.toString() : host));
    // Picture controls take their picture's size.
    for (auto [picture, id] :
         {std::pair{m_ui->m_socialPicture, 195}, {m_ui->m_videoPicture, 196}}) {
        const QPixmap pixmap = ResourcePixmap(static_cast<uint16_t>(id));
        if (!pixmap.isNull()) {
            picture->setPixmap(pixmap);
            picture->resize(pixmap.size());
        }
    }

    connect(m_ui->m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->m_visitButton, &QPushButton::clicked, this, [this] { Open(m_links.homePage); });
    connect(m_ui->m_storeButton, &QPushButton::clicked, this,
            [this] { Open(m_links.onlineStore); });
    connect(m_ui->m_socialPicture, &ClickPicture::clicked, this,
            [this] { Open(m_links.socialPage); });
    connect(m_ui->m_videoPicture, &ClickPicture::clicked, this,
            [this] { Open(m_links.videoChannel); });
}

AdDialog::~AdDialog() = default;

void AdDialog::OnInitDialog() {
    if (m_initialised) {
        return;
    }
    m_initialised = true;
    m_pictureBox = new QLabel(this);
    m_pictureBox->setGeometry(10, 10, 640, 360);
    const int32_t mode = m_displayMode;
    if (mode == 3 || mode == 4 || mode == 8 || mode == 9) {
        m_pictureBox->setPixmap(ResourcePixmap(static_cast<uint16_t>(m_pictureId)));
    }
    m_pictureBox->show();
    SetTimer(kFirstTimer, m_timings.firstMs);
}

void AdDialog::ShowBeside(QWidget& mainWindow) {
    OnInitDialog();
    const QScreen* screen = mainWindow.screen();
    const SupportPlacement placement =
        PlaceSupportBeside(mainWindow.frameGeometry(), frameGeometry().size(),
                           screen != nullptr ? screen->availableGeometry() : QRect());
    mainWindow.move(placement.mainTopLeft);
    move(placement.supportTopLeft);
    show();
}

bool AdDialog::TimerRunning(int timerId) const {
    return timerId >= kFirstTimer && timerId <= kHideTimer && m_timerHandles[timerId] != 0;
}

void AdDialog::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_timerHandles[kFirstTimer]) {
        SetTimer(kHideTimer, m_timings.secondMs);
        KillTimer(kFirstTimer);
    } else if (event->timerId() == m_timerHandles[kHideTimer]) {
        hide();
        KillTimer(kHideTimer);
    } else {
        QDialog::timerEvent(event);
    }
}

void AdDialog::SetTimer(int timerId, int milliseconds) {
    KillTimer(timerId);
    // Precise, so the window goes when the periods say and not up to 5% early or late.
    m_timerHandles[timerId] = startTimer(milliseconds, Qt::PreciseTimer);
}

void AdDialog::KillTimer(int timerId) {
    if (m_timerHandles[timerId] != 0) {
        killTimer(m_timerHandles[timerId]);
        m_timerHandles[timerId] = 0;
    }
}

void AdDialog::Open(const QUrl& address) {
    if (m_openUrl) {
        m_openUrl(address);
    }
}
