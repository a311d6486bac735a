#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace tessor {

class CDataDownloader;

// What the Connection page's "Process" takes from this page.
struct ImageChoice {
  int web = 0;
  int local = 0;
  QString path;
};

// The "VELD setting" page: the user picks the database image here, then goes
// back to the Connection page, whose "Process" uploads it.
class CVELDSettingDlg : public QWidget {
  Q_OBJECT

 public:
  static constexpr float kCellRange = 0.0015706706f;
  static constexpr int kPathLimit = 259;
  // After the page shows, the proxy settings are handed to the main window once.
  static constexpr int kProxySaveDelayMs = 200;
  // The file chooser; tests replace it. Returns an empty path when cancelled.
  using FileChooser = std::function<QString(QWidget* parent)>;
  static FileChooser& file_chooser();

  explicit CVELDSettingDlg(QWidget* parent = nullptr);

  void SetMainWindow(CDataDownloader* main) { main_ = main; }
  void Initialise();
  void EnableControls(bool connected);
  ImageChoice GetImageChoice() const;
  bool web_source_checked() const;
  float cell_range() const { return cell_range_; }
  QString image_path() const { return image_path_; }
  // Where the image chooser opens.
  QString ImageStartFolder() const;
  void ClearFileName();
  // After a disconnect: no source chosen and no file name.
  void ResetSourceChoice();

  // User actions.
  void BrowseClicked();
  void GoToConnectionClicked();
  void PoiIntegrationClicked();
  void UseProxyClicked();
  void ImportMobileClicked();
  void WebMobileClicked();
  void LocalFileClicked();
  void ProxyTimerTick();

  // Controls, by their place on the page.
  QCheckBox* web_fixed() const { return web_fixed_; }
  QCheckBox* web_mobile() const { return web_mobile_; }
  QCheckBox* local_file() const { return local_file_; }
  QLabel* path_text() const { return path_text_; }
  QLabel* verdict_text() const { return verdict_text_; }
  QPushButton* browse_button() const { return browse_; }
  QPushButton* go_button() const { return go_; }
  QComboBox* cell_range_list() const { return cell_range_list_; }
  QCheckBox* poi_integration() const { return poi_integration_; }
  QCheckBox* use_proxy() const { return use_proxy_; }
  QLineEdit* proxy_address() const { return proxy_address_; }
  QLineEdit* proxy_port() const { return proxy_port_; }
  QCheckBox* import_mobile() const { return import_mobile_; }
  QTimer* proxy_timer() const { return proxy_timer_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildHiddenControls();
  void ShowVerdict();
  void SetProxyVisible(bool visible);
  bool main_connected() const;

  CDataDownloader* main_ = nullptr;
  QString caption_;
  QString image_path_;
  QString last_folder_;
  float cell_range_ = 0;

  QGroupBox* veld_group_ = nullptr;
  QCheckBox* web_fixed_ = nullptr;
  QCheckBox* web_mobile_ = nullptr;
  QCheckBox* local_file_ = nullptr;
  QLabel* path_text_ = nullptr;
  QLabel* verdict_text_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* go_ = nullptr;
  QComboBox* cell_range_list_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QCheckBox* poi_integration_ = nullptr;
  QGroupBox* proxy_group_ = nullptr;
  QCheckBox* use_proxy_ = nullptr;
  QLabel* proxy_address_label_ = nullptr;
  QLineEdit* proxy_address_ = nullptr;
  QLabel* proxy_port_label_ = nullptr;
  QLineEdit* proxy_port_ = nullptr;
  QCheckBox* import_mobile_ = nullptr;
  QTimer* proxy_timer_ = nullptr;
};

}  // namespace tessor
