#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QWebEngineView;

namespace tessor {

class MapDialogPage;

// "Google Map": the modal dialog that shows the generated map page. The page's
// "BtnOK" hands back the position in "Text1" and "Text2"; the window's close
// button leaves the two texts as they were set before the showing.
class CGoogoleMapDlg : public QDialog {
  Q_OBJECT

 public:
  // The start page, shown until the generated page has loaded.
  static const char* const kStartPage;

  explicit CGoogoleMapDlg(QWidget* parent = nullptr);
  ~CGoogoleMapDlg() override;

  // Before each showing: the page to load. The two texts are cleared, so a
  // showing ended without the page's OK brings back nothing.
  void SetPagePath(const QString& path);
  QString latitude_text() const { return latitude_; }
  QString longitude_text() const { return longitude_; }
  QWebEngineView* view() const { return view_; }
  // The load failure text over the map: shown while the map cannot be drawn.
  QLabel* failure_text() const { return failure_; }

  // A click on a page element, reported by the page.
  void ElementClicked(const QString& id);
  // The page's map script says whether the map can be drawn: "failed" when its
  // library is missing or no tile loads, "drawn" once a tile has loaded.
  void MapState(const QString& state);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowLoadFailure();
  void PlaceFailureText(const QRect& map);

  QWebEngineView* view_ = nullptr;
  MapDialogPage* page_ = nullptr;
  QLabel* failure_ = nullptr;
  QString path_;
  QString latitude_;
  QString longitude_;
  bool reading_ = false;
};

}  // namespace tessor
