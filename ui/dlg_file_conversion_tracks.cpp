// The file conversion page's finished tracks: their GPX and KML copies, and
// each track drawn on the map.
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QUrl>
#include <cerrno>
#include <cstring>

#include "app/settings_store.h"
#include "app/shell.h"
#include "engine/string_table.h"
#include "logger/track_export.h"
#include "logger/track_map_page.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"
#include "ui/dlg_file_conversion.h"
#include "ui/message_seam.h"
#include "ui/program_files.h"

namespace tessor {

namespace {
constexpr int kPathRole = Qt::UserRole;
}  // namespace

void CDlgFileConversion::BuildExportControls(QWidget* files) {
  gpx_ = new QCheckBox("Also write GPX", files);
  gpx_->setObjectName("gpx_export");
  kml_ = new QCheckBox("Also write KML", files);
  kml_->setObjectName("kml_export");
  const uint8_t chosen = ReadTrackExports(main_.store());
  gpx_->setChecked((chosen & kTrackExportGpx) != 0);
  kml_->setChecked((chosen & kTrackExportKml) != 0);
  auto* row = new QHBoxLayout;
  row->addWidget(gpx_);
  row->addWidget(kml_);
  row->addStretch(1);
  static_cast<QBoxLayout*>(files->layout())->addLayout(row);
  connect(gpx_, &QCheckBox::toggled, this, &CDlgFileConversion::ExportChoiceChanged);
  connect(kml_, &QCheckBox::toggled, this, &CDlgFileConversion::ExportChoiceChanged);
  erase_after_ = new QCheckBox(kEraseAfterText, files);
  erase_after_->setObjectName("erase_after");
  erase_after_->setChecked(ReadEraseAfterDownload(main_.store()));
  files->layout()->addWidget(erase_after_);
  connect(erase_after_, &QCheckBox::toggled, this,
          [this](bool on) { WriteEraseAfterDownload(main_.store(), on); });
  nmea_list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(nmea_list_, &QListWidget::customContextMenuRequested, this,
          &CDlgFileConversion::FileListMenu);
  open_map_ = [](const QString& page) { QDesktopServices::openUrl(QUrl::fromLocalFile(page)); };
}

void CDlgFileConversion::ExportChoiceChanged() {
  WriteTrackExports(main_.store(), static_cast<uint8_t>((gpx_->isChecked() ? kTrackExportGpx : 0) |
                                                        (kml_->isChecked() ? kTrackExportKml : 0)));
}

// A whole track's file goes into the list, its copies beside it.
void CDlgFileConversion::ListFile(const QString& name, const std::string& path) {
  auto* item = new QListWidgetItem(name);
  item->setData(kPathRole, ToWide(path));
  nmea_list_->addItem(item);
  if (!ExportTrack(path)) export_failed_ = true;
}

// A copy that cannot be written is said in the status list; the NMEA file stays.
bool CDlgFileConversion::ExportTrack(const std::string& nmea_path) {
  bool all = true;
  for (const auto& [box, format] :
       {std::pair{gpx_, TrackFormat::kGpx}, {kml_, TrackFormat::kKml}}) {
    if (!box->isChecked() || ExportTrackFile(nmea_path, format)) continue;
    all = false;
    main_.connection_page()->AddStatusLine(
        ToWide("Can not write " + ExportPath(nmea_path, format) + ": " + std::strerror(errno)),
        false);
  }
  return all;
}

void CDlgFileConversion::FileListMenu(const QPoint& at) {
  QListWidgetItem* item = nmea_list_->itemAt(at);
  if (item == nullptr || item->data(kPathRole).toString().isEmpty()) return;
  const int row = nmea_list_->row(item);
  QMenu menu(this);
  connect(menu.addAction(kShowOnMap), &QAction::triggered, this, [this, row] { ShowOnMap(row); });
  menu.exec(nmea_list_->viewport()->mapToGlobal(at));
}

void CDlgFileConversion::ShowOnMap(int row) {
  const QListWidgetItem* item = nmea_list_->item(row);
  if (item == nullptr) return;
  const QString track = item->data(kPathRole).toString();
  if (track.isEmpty()) return;
  // The page lives in a private temporary folder of the page's own.
  if (!map_folder_) map_folder_ = std::make_unique<QTemporaryDir>();
  const QString page = QDir(map_folder_->path()).filePath(item->text() + ".html");
  switch (WriteTrackFileMap(track.toStdString(), page.toStdString(), ProgramMapAddresses())) {
    case TrackMapResult::kWritten:
      open_map_(page);
      return;
    case TrackMapResult::kNoPoints:
      ShowMessage(this, LoadText(kStrCaption), track + ": no track points");
      return;
    case TrackMapResult::kUnreadable:
      ShowMessage(this, LoadText(kStrCaption), track + ": " + std::strerror(errno));
      return;
    case TrackMapResult::kNotWritten:
      break;
  }
  ShowMessage(this, LoadText(kStrCaption), page + ": " + std::strerror(errno));
}

}  // namespace tessor
