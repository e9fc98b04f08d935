// The version-information dialog.
#include "ui/version_info_dlg.h"

#include <QLabel>
#include <QMovie>
#include <QPixmap>
#include <QPushButton>

#include "tarsel_version.h"
#include "ui/dialog_units.h"
#include "ui/window_texts.h"

namespace tarsel {

namespace {

// The picture (431 x 258 pixels) fills its 194 x 138 unit frame exactly.
constexpr DialogUnits kDialogUnits{431.0 / 194.0, 258.0 / 138.0};
constexpr QSize kClipSize(150, 31);

}  // namespace

CVersionInfoDlg::CVersionInfoDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CVersionInfoDlg"));
    setWindowTitle(QString::fromUtf8(ui_text::kVersionTitle));
    setModal(true);
    const DialogUnits& du = kDialogUnits;
    setFixedSize(du.Px(263), du.Py(193));

    m_picture = new QLabel(this);
    m_picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_picture->setLineWidth(1);
    const QPixmap picture(QStringLiteral(":/res/about.bmp"));
    m_picture->setPixmap(picture);
    const QRect frame = du.Rect(8, 10, 194, 138);
    m_picture->setGeometry(frame.adjusted(-1, -1, 1, 1));

    // The one version of the project, the same that --version and the package carry.
    auto* version =
        new QLabel(QStringLiteral("Tarsel %1").arg(QLatin1String(kTarselVersion)), this);
    version->setObjectName(QStringLiteral("version"));
    version->setGeometry(du.Rect(8, 154, 194, 12));

    auto* ok = new QPushButton(QString::fromUtf8(ui_text::kOk), this);
    ok->setGeometry(du.Rect(208, 22, 27, 27));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    m_placeholder = du.Rect(64, 22, 91, 28);
    OnInitDialog();
    ok->setFocus(Qt::OtherFocusReason);
}

void CVersionInfoDlg::OnInitDialog() {
    m_movie = new QMovie(QStringLiteral(":/res/animation.gif"), QByteArray(), this);
    if (!m_movie->isValid()) {
        return;  // the dialog shows without the animation
    }
    m_animate = new QLabel(this);
    m_animate->setGeometry(QRect(m_placeholder.topLeft(), kClipSize));
    m_animate->setAlignment(Qt::AlignCenter);
    m_animate->setMovie(m_movie);
    m_movie->start();
}

}  // namespace tarsel
