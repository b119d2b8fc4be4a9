#include "app/shell/DialogTitleBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include "app/shell/Icons.h"

namespace {

QToolButton* makeButton(QWidget* parent, const QString& text, const QIcon& icon,
                        const QString& name) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setText(text);
  button->setIcon(icon);
  button->setIconSize(QSize(16, 16));
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::TabFocus);
  return button;
}

}  // namespace

DialogTitleBar::DialogTitleBar(QWidget* parent)
    : QWidget(parent),
      title_(new QLabel(this)),
      help_(
          makeButton(this, QStringLiteral("?"), Icons::help(), QStringLiteral("titleHelpButton"))),
      close_(makeButton(this, QStringLiteral("X"), Icons::close(),
                        QStringLiteral("titleCloseButton"))) {
  title_->setObjectName(QStringLiteral("titleLabel"));
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  help_->setToolTip(tr("Help"));
  close_->setToolTip(tr("Close"));
  help_->hide();

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(title_, 1);
  layout->addWidget(help_);
  layout->addWidget(close_);

  connect(help_, &QToolButton::clicked, this, &DialogTitleBar::helpClicked);
  connect(close_, &QToolButton::clicked, this, &DialogTitleBar::closeClicked);
}

void DialogTitleBar::setTitle(const QString& title) { title_->setText(title); }

QString DialogTitleBar::title() const { return title_->text(); }

void DialogTitleBar::setHelpVisible(bool visible) { help_->setVisible(visible); }
