#include "app/shell/KalvoraDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWindow>

#include "app/help/CHelpDlg.h"
#include "app/shell/DialogTitleBar.h"

KalvoraDialog::KalvoraDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      titleBar_(new DialogTitleBar(this)),
      aboutLine_(new QLabel(this)),
      body_(new QWidget(this)) {
  body_->setObjectName(QStringLiteral("body"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(9, 6, 9, 9);
  layout->setSpacing(6);
  layout->addWidget(titleBar_);
  layout->addWidget(aboutLine_);
  layout->addWidget(body_, 1);
  titleBar_->hide();
  aboutLine_->setObjectName(QStringLiteral("aboutLine"));
  aboutLine_->setTextFormat(Qt::PlainText);
  aboutLine_->setWordWrap(true);
  QFont bold = aboutLine_->font();
  bold.setBold(true);
  aboutLine_->setFont(bold);
  aboutLine_->hide();

  connect(titleBar_, &DialogTitleBar::closeClicked, this, &QDialog::reject);
  connect(titleBar_, &DialogTitleBar::helpClicked, this, &KalvoraDialog::showHelp);
}

KalvoraDialog::~KalvoraDialog() = default;

void KalvoraDialog::setTitle(const QString& title) {
  titleBar_->setTitle(title);
  titleBar_->setVisible(!title.isEmpty());
  setWindowTitle(title.isEmpty() ? QStringLiteral("Kalvora") : title);
}

QString KalvoraDialog::title() const { return titleBar_->title(); }

void KalvoraDialog::setAboutLine(const QString& text) {
  aboutLine_->setText(text);
  aboutLine_->setVisible(!text.isEmpty());
}

QString KalvoraDialog::aboutLine() const { return aboutLine_->text(); }

void KalvoraDialog::setHelpFile(const QString& fileName) {
  helpFile_ = fileName;
  titleBar_->setHelpVisible(!fileName.isEmpty());
}

void KalvoraDialog::showHelp() {
  if (helpFile_.isEmpty()) return;
  CHelpDlg help(this, helpFile_);
  help.exec();
}

void KalvoraDialog::mousePressEvent(QMouseEvent* event) {
  if (moveByBackground_ && event->button() == Qt::LeftButton) {
    QWindow* window = windowHandle();
    if (!window || !window->startSystemMove()) {
      dragging_ = true;
      dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    event->accept();
    return;
  }
  QDialog::mousePressEvent(event);
}

void KalvoraDialog::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - dragOffset_);
    event->accept();
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void KalvoraDialog::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QDialog::mouseReleaseEvent(event);
}

// A read-only field looks like one: on the window's colour, not on the white of an entry.
void KalvoraDialog::showEvent(QShowEvent* event) {
  for (QLineEdit* field : findChildren<QLineEdit*>()) {
    if (!field->isReadOnly()) continue;
    QPalette colours = field->palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::Window));
    field->setPalette(colours);
  }
  QDialog::showEvent(event);
}

void KalvoraDialog::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  // Without a window frame the edge would vanish against a window of the same colour.
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
