#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "poi/poi.h"
#include "poi/poi_file.h"
#include "ui/poi_page_host.h"

class QCheckBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTemporaryDir;

namespace tessor {

class CGoogoleMapDlg;
class PoiListEditor;

// The POI management page: the user's POI list and its map. Built and kept by the main window, not
// shown as a tab.
class CPOIManagementDlg : public QWidget {
  Q_OBJECT

 public:
  enum Column { kNo, kLatitude, kLongitude, kSpeed, kComments, kStatus, kColumnCount };
  // The delete question with Yes and No; true for Yes. Tests replace it.
  using Asker = std::function<bool(QWidget* parent, const QString& caption, const QString& text)>;
  static Asker& asker();

  explicit CPOIManagementDlg(QWidget* parent = nullptr);
  ~CPOIManagementDlg() override;

  void SetHost(PoiPageHost host) { host_ = std::move(host); }
  // The device was disconnected: the list is emptied, once the user has said
  // what becomes of edits not yet saved (kept on the page when cancelled).
  void ResetPoiPage();
  // Before something drops the list (disconnect, close): asks about edits not
  // yet saved. True to go on, false when the user cancelled.
  bool ConfirmDropEdits();
  bool has_unsaved_edits() const { return unsaved_; }
  // The folder of the map script and marker images; empty for the installed ones.
  void SetMapFolder(const QString& folder) { map_files_ = folder; }

  // User actions.
  void LoadClicked();
  void SaveClicked();
  void DeleteClicked();
  void SelectAllClicked();
  void GoToMap(int row);

  const PoiList& entries() const { return list_; }
  int valid_count() const { return valid_count_; }
  QString poi_file_path() const { return path_; }
  // The map dialog, once it has been opened.
  CGoogoleMapDlg* map_dialog() const { return map_; }

  // Controls, by their place on the page.
  QTableWidget* list() const { return table_; }
  PoiListEditor* cell_editor() const { return editor_; }
  QCheckBox* select_all() const { return select_all_; }
  QPushButton* delete_button() const { return delete_; }
  QPushButton* load_button() const { return load_; }
  QPushButton* save_button() const { return save_; }
  QLabel* valid_text() const { return valid_text_; }
  QProgressBar* progress() const { return progress_; }
  QLabel* progress_text() const { return progress_text_; }
  QMenu* context_menu() const { return menu_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildControls();
  void BuildList();
  void SetColumnWidths();
  int StatusColumnWidth() const;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool SavePois();
  void Refill();
  void AddRow(int i, const CPOI& poi);
  void SetButtons(bool enabled);
  void ShowProgress(uint32_t index, uint32_t count);
  void RightClicked(const QPoint& at);
  std::string MapPagePath();
  void Box(const QString& text);

  PoiPageHost host_;
  QString caption_;
  QString path_;
  CPOIFileProcess reader_;
  std::vector<CPOI> records_;
  PoiList list_;
  int valid_count_ = 0;
  // Edits and map moves not yet in the POI file.
  bool unsaved_ = false;
  // POIs of the loaded file that the list does not show: above 300 km/h, beyond a full list.
  size_t unlisted_speed_ = 0;
  size_t unlisted_full_ = 0;
  QString map_files_;
  int menu_row_ = -1;
  CGoogoleMapDlg* map_ = nullptr;
  std::unique_ptr<QTemporaryDir> map_folder_;

  QTableWidget* table_ = nullptr;
  PoiListEditor* editor_ = nullptr;
  QCheckBox* select_all_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* load_ = nullptr;
  QPushButton* save_ = nullptr;
  QLabel* valid_text_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* progress_text_ = nullptr;
  QMenu* menu_ = nullptr;
};

}  // namespace tessor
