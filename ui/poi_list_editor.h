#pragma once

#include <QObject>
#include <QString>

#include "poi/poi.h"

class QLineEdit;
class QTableWidget;
class QWidget;

namespace tessor {

// The floating editor of the POI list's Speed and Comments cells: idle, editing,
// or holding a rejected value (scroll bar off, clicks bring the editor back).
class PoiListEditor : public QObject {
  Q_OBJECT

 public:
  static constexpr int kColumnSpeed = 3;
  static constexpr int kColumnComments = 4;
  static constexpr int kColumnStatus = 5;
  static constexpr int kSpeedLimit = 300;
  static constexpr int kCommentLimit = 255;

  // The editor floats over list, placed in page coordinates; entries are the page's list.
  PoiListEditor(QWidget* page, QTableWidget* list, PoiList& entries);

  // A click on a cell.
  void Open(int row, int column);
  // A double click: only brings a rejected value back.
  void DoubleClicked();
  // Focus lost, Enter, a press on the page outside the list, a scroll.
  void Commit();
  // The page forgets the cell (load, save, delete, select all); a rejected value is dropped.
  void Forget();
  // The page is hidden: the editor shows the cell's text again.
  void PageHidden();

  bool rejected() const { return error_; }
  int row() const { return row_; }
  int column() const { return column_; }
  QLineEdit* editor() const { return editor_; }

 signals:
  // An accepted edit changed an entry's speed or comment.
  void stored();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowAgain();
  void Reject(const QString& text);
  void Accept();
  void Store(size_t index, const QString& text);
  void EndError();
  void SetStatusText(const QString& text);
  QString StatusText() const;

  QWidget* page_;
  QTableWidget* list_;
  PoiList& entries_;
  QLineEdit* editor_;
  int row_ = -1;
  int column_ = -1;
  bool error_ = false;
  bool committing_ = false;
  QString saved_status_;
  QString start_text_;
};

}  // namespace tessor
