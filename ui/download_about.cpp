#include "ui/download_about.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>

#include "app/shell.h"
#include "engine/string_table.h"
#include "ui/program_icon.h"

namespace tessor {

CDownloadAbout::CDownloadAbout(QWidget* parent) : QWidget(parent) {
  setWindowTitle("About");
  icon_ = new QLabel(this);
  icon_->setPixmap(ProgramIcon().pixmap(48, 48));
  program_text_ = new QLabel(this);
  series_text_ = new QLabel(this);
  auto* grid = new QGridLayout(this);
  grid->addWidget(icon_, 0, 0, 2, 1, Qt::AlignTop);
  grid->addWidget(program_text_, 0, 1);
  grid->addWidget(series_text_, 1, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(2, 1);
}

QString CDownloadAbout::ProgramText() {
  QString text = LoadText(kStrCaption);
  if (const auto version = GetFileVersion()) text += "  V " + FormatVersion(*version);
  return text;
}

void CDownloadAbout::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  program_text_->setText(ProgramText());
  series_text_->setText("Tessor Series");
}

}  // namespace tessor
