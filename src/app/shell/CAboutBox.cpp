#include "app/shell/CAboutBox.h"

#include "app/shell/Icons.h"
#include "config/ProductVersion.h"
#include "ui_CAboutBox.h"

namespace {

// The maker's addresses (reserved example domain).
const char kMakerWeb[] = "https://www.example.org/kalvora/";
const char kMakerMail[] = "support@example.org";

}  // namespace

CAboutBox::CAboutBox(QWidget* parent)
    : KalvoraDialog(parent), ui_(std::make_unique<Ui::CAboutBox>()) {
  ui_->setupUi(body());
  setWindowTitle(QStringLiteral("About Kalvora"));
  ui_->logo->setPixmap(Icons::logo(devicePixelRatioF()));
  ui_->webLink->setText(QString::fromLatin1(kMakerWeb));
  ui_->webLink->SetLink(QString::fromLatin1(kMakerWeb));
  ui_->mailLink->setText(QString::fromLatin1(kMakerMail));
  ui_->mailLink->SetLink(QStringLiteral("mailto:") + QString::fromLatin1(kMakerMail));
  ui_->version->setText(QStringLiteral("Version %1").arg(QLatin1String(kProductVersion)));
  ui_->version->show();
  ui_->closeButton->setDefault(true);
  connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutBox::~CAboutBox() = default;

CLinkStatic* CAboutBox::webLink() const { return ui_->webLink; }
CLinkStatic* CAboutBox::mailLink() const { return ui_->mailLink; }
QString CAboutBox::versionText() const { return ui_->version->text(); }
