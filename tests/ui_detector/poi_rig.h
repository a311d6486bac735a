#pragma once

#include <QFile>
#include <QTableWidget>
#include <QtTest>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "database/camera_info.h"
#include "poi/poi_file.h"
#include "ui/message_seam.h"
#include "ui/poi_management_dlg.h"
#include "ui/question_seam.h"

namespace tessor::test {

// A POI page outside the main window, over a POI file the test writes, with a
// coverage rectangle round Toronto. Message boxes and questions are recorded
// and answered as the test sets.
class PoiRig {
 public:
  PoiRig() {
    SetMessageBoxHandler([this](QWidget*, const MessageRecord& m) { messages.push_back(m); });
    CPOIManagementDlg::asker() = [this](QWidget*, const QString&, const QString& text) {
      questions.push_back(text);
      return answer;
    };
    SetQuestionHandler([this](QWidget*, const QString& text) {
      ok_cancel_questions.push_back(text);
      return ok_answer;
    });
    SetUnsavedHandler([this](QWidget*, const QString& text) {
      unsaved_questions.push_back(text);
      return unsaved_answer;
    });
    page = std::make_unique<CPOIManagementDlg>();
    PoiPageHost host;
    host.connected = [] { return true; };
    host.operation_running = [] { return false; };
    host.poi_allowed = [] { return true; };
    host.coverage = [this] { return coverage; };
    host.set_pois_saved = [this](bool saved) { pois_saved = saved; };
    page->SetHost(host);
    coverage.min_latitude = 43.0f * kDegToRad;
    coverage.max_latitude = 44.0f * kDegToRad;
    coverage.min_longitude = -80.0f * kDegToRad;
    coverage.max_longitude = -79.0f * kDegToRad;
    page->resize(700, 400);
  }
  ~PoiRig() {
    page.reset();
    SetMessageBoxHandler({});
    SetQuestionHandler({});
    SetUnsavedHandler({});
    CPOIManagementDlg::asker() = {};
  }

  // Writes the POI file: one "lat,lon,0,vmax,0,comment" line per entry.
  void WriteFile(const std::vector<std::string>& lines) {
    std::string text = "Latitude,Longitude,direction,vmax,Type,Comments\r\n";
    for (const std::string& l : lines) text += l + "\r\n";
    QFile file(page->poi_file_path());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.data(), static_cast<qint64>(text.size()));
  }

  QStringList FileLines() const {
    QFile file(page->poi_file_path());
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n");
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
  }

  void ShowAndLoad() {
    page->show();
    page->LoadClicked();
  }

  QString Text(int row, int column) const {
    const QTableWidgetItem* item = page->list()->item(row, column);
    return item != nullptr ? item->text() : QString("<none>");
  }

  std::unique_ptr<CPOIManagementDlg> page;
  DatabaseCoverage coverage;
  std::vector<MessageRecord> messages;
  QStringList questions;
  bool answer = false;
  QStringList ok_cancel_questions;
  bool ok_answer = true;
  QStringList unsaved_questions;
  UnsavedChoice unsaved_answer = UnsavedChoice::kDiscard;
  bool pois_saved = false;
};

}  // namespace tessor::test
