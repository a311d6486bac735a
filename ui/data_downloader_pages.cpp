// "Show all pages": the five pages the window builds and keeps join the tabs
// when the user asks for them. Off unless chosen, so the window keeps its three tabs.
#include <QAction>
#include <QContextMenuEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

#include "app/settings_store.h"
#include "ui/alert_setting_dlg.h"
#include "ui/data_downloader.h"
#include "ui/dlg_config.h"
#include "ui/dlg_connection.h"
#include "ui/dlg_device_status.h"
#include "ui/dlg_file_conversion.h"
#include "ui/download_about.h"
#include "ui/poi_management_dlg.h"
#include "ui/veld_setting_dlg.h"

namespace tessor {

QWidget* CDataDownloader::PageWidget(int page) const {
  switch (page) {
    case kPageConnection:
      return connection_;
    case kPageVeld:
      return veld_;
    case kPageAbout:
      return about_;
    case kPageFileConversion:
      return file_conversion_;
    case kPageDeviceStatus:
      return device_status_;
    case kPageConfig:
      return config_;
    case kPageAlert:
      return alert_;
    case kPagePoi:
      return poi_;
    default:
      return nullptr;
  }
}

QList<QWidget*> CDataDownloader::PagesInBuildOrder() const {
  return {file_conversion_, connection_, device_status_, config_, veld_, alert_, about_, poi_};
}

void CDataDownloader::BuildWindowMenu() {
  show_all_action_ = new QAction("Show all pages", this);
  show_all_action_->setCheckable(true);
  connect(show_all_action_, &QAction::triggered, this, [this](bool on) {
    SetShowAllPages(on);
    WriteShowAllPages(store_, on);
  });
  record_line_action_ = new QAction("Record the serial line", this);
  record_line_action_->setCheckable(true);
  record_line_action_->setChecked(ReadRecordLine(store_));
  connection_->SetRecordLine(record_line_action_->isChecked());
  connect(record_line_action_, &QAction::triggered, this, [this](bool on) {
    connection_->SetRecordLine(on);
    WriteRecordLine(store_, on);
  });
  // Where a new user looks first; the tab bar's menu stays for those who know it.
  QMenu* view = menu_bar_->addMenu("&View");
  view->addAction(show_all_action_);
  view->addAction(record_line_action_);
  QTabBar* bar = sheet_->tabBar();
  bar->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(bar, &QTabBar::customContextMenuRequested, this,
          [this, bar](const QPoint& at) { ShowWindowMenu(bar->mapToGlobal(at)); });
}

void CDataDownloader::ShowWindowMenu(const QPoint& global_position) {
  QMenu menu(this);
  menu.addAction(show_all_action_);
  menu.addAction(record_line_action_);
  menu.exec(global_position);
}

// A right click where no control takes it: the window's own menu.
void CDataDownloader::contextMenuEvent(QContextMenuEvent* event) {
  ShowWindowMenu(event->globalPos());
}

void CDataDownloader::SetShowAllPages(bool show) {
  show_all_pages_ = show;
  show_all_action_->setChecked(show);
  const QList<QWidget*> order = PagesInBuildOrder();
  const QList<QWidget*> tabs = {connection_, veld_, about_};
  for (int i = 0; i < order.size(); ++i) {
    QWidget* page = order[i];
    if (tabs.contains(page)) continue;
    const bool present = sheet_->indexOf(page) >= 0;
    if (show && !present) {
      // Every page before it in the build order is a tab by now: i is its place.
      sheet_->insertTab(i, page, page->windowTitle());
    } else if (!show && present) {
      sheet_->removeTab(sheet_->indexOf(page));
      page->setParent(this);
      page->setHidden(true);
    }
  }
  // "Download DB" reads the image back for a check: shown with the other kept parts.
  connection_->SetDownloadVisible(show);
  if (show) FitAllTabs();
}

void CDataDownloader::FitAllTabs() {
  // What the window has around the tab bar: its margins and the sheet's frame.
  const int around = layout()->contentsMargins().left() + layout()->contentsMargins().right() +
                     2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8;
  int wanted = sheet_->tabBar()->sizeHint().width() + around;
  if (const QScreen* where = screen())
    wanted = std::min(wanted, where->availableGeometry().width());
  if (width() < wanted) resize(wanted, height());
}

}  // namespace tessor
