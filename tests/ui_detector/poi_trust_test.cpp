#include "poi_trust_test.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "detector_rig.h"
#include "poi_rig.h"
#include "ui/poi_list_editor.h"

namespace tessor::test {

namespace {
using Page = CPOIManagementDlg;

// Row 0 is the file's last line: three valid POIs kilometres apart, one out of
// the coverage, one duplicate and one too fast to be listed.
const std::vector<std::string> kMixed = {
    "43.600200,-79.500000,0,40,0,dup",     "43.600000,-79.500000,0,50,0,first",
    "45.000000,-79.400000,0,30,0,outside", "43.750000,-79.450000,0,350,0,too fast",
    "43.700000,-79.400000,0,60,0,second",  "43.650000,-79.300000,0,70,0,third"};
const std::vector<std::string> kThreeValid = {"43.600000,-79.500000,0,50,0,first",
                                              "43.700000,-79.400000,0,60,0,second",
                                              "43.650000,-79.300000,0,70,0,third"};

QByteArray FileBytes(const PoiRig& rig) {
  QFile file(rig.page->poi_file_path());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TypeSpeed(CPOIManagementDlg& page, int row, const QString& text) {
  page.cell_editor()->Open(row, Page::kSpeed);
  QLineEdit* editor = page.cell_editor()->editor();
  QVERIFY(editor->isVisible());
  editor->setText(text);
  QTest::keyClick(editor, Qt::Key_Return);
  QVERIFY(!page.cell_editor()->rejected());
}
}  // namespace

void PoiTrustTest::SaveSaysWhatItDropsAndWhatItWrote() {
  PoiRig rig;
  rig.WriteFile(kMixed);
  const QByteArray before = FileBytes(rig);
  rig.ShowAndLoad();
  QCOMPARE(rig.page->list()->rowCount(), 5);

  rig.ok_answer = false;
  rig.page->save_button()->click();
  QCOMPARE(rig.ok_cancel_questions.size(), 1);
  QCOMPARE(rig.ok_cancel_questions[0],
           QString("Only the POIs marked \"OK\" are saved: 3 POIs of 6 will be dropped from the "
                   "POI file:\n"
                   "1 \"Out of VELD range\"\n"
                   "1 \"Duplicated with No. ...\"\n"
                   "1 \"Speed is out of range\" (above 300 km/h, not listed)\n"
                   "Save 3 POIs and drop the others?"));
  // Cancelled: the file, the list and the flag stay as they were, and nothing is claimed.
  QCOMPARE(FileBytes(rig), before);
  QCOMPARE(rig.page->list()->rowCount(), 5);
  QCOMPARE(rig.page->valid_text()->text(), QString("3"));
  QVERIFY(rig.page->save_button()->isEnabled());
  QVERIFY(!rig.pois_saved);
  QVERIFY(rig.messages.empty());

  rig.ok_answer = true;
  rig.page->save_button()->click();
  QCOMPARE(rig.ok_cancel_questions.size(), 2);
  QCOMPARE(rig.FileLines().size(), 4);
  QVERIFY(rig.pois_saved);
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text,
           "3 POIs were saved in the POI file " + rig.page->poi_file_path() + ".");
}

void PoiTrustTest::SaveWithNothingToDropAsksNothing() {
  PoiRig rig;
  rig.WriteFile({kThreeValid[0]});
  rig.ShowAndLoad();
  rig.page->save_button()->click();
  QVERIFY(rig.ok_cancel_questions.isEmpty());
  QCOMPARE(rig.FileLines().size(), 2);
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text,
           "1 POI was saved in the POI file " + rig.page->poi_file_path() + ".");
}

void PoiTrustTest::LoadAsksAboutUnsavedEdits() {
  PoiRig rig;
  rig.WriteFile(kThreeValid);
  const QByteArray before = FileBytes(rig);
  rig.ShowAndLoad();
  rig.page->LoadClicked();  // nothing edited: no question
  QVERIFY(rig.unsaved_questions.isEmpty());

  TypeSpeed(*rig.page, 0, "120");
  QVERIFY(rig.page->has_unsaved_edits());
  rig.unsaved_answer = UnsavedChoice::kCancel;
  rig.page->load_button()->click();
  QCOMPARE(rig.unsaved_questions,
           QStringList{"The POI list has changes that are not saved in the POI file. Save them?"});
  QCOMPARE(rig.Text(0, Page::kSpeed), QString("120"));
  QCOMPARE(rig.page->entries()[0]->vmax, 120.0f);
  QCOMPARE(FileBytes(rig), before);

  rig.unsaved_answer = UnsavedChoice::kDiscard;
  rig.page->load_button()->click();
  QCOMPARE(rig.unsaved_questions.size(), 2);
  QCOMPARE(rig.Text(0, Page::kSpeed), QString("70"));
  QVERIFY(!rig.page->has_unsaved_edits());

  // Save writes the edit before the file is read again.
  TypeSpeed(*rig.page, 0, "110");
  rig.unsaved_answer = UnsavedChoice::kSave;
  rig.page->load_button()->click();
  QCOMPARE(rig.unsaved_questions.size(), 3);
  QVERIFY(rig.FileLines().last().contains(",0,110.000000,0,third"));
  QCOMPARE(rig.Text(0, Page::kSpeed), QString("110"));
  QCOMPARE(rig.page->list()->rowCount(), 3);
}

void PoiTrustTest::ResetAsksAboutUnsavedEdits() {
  PoiRig rig;
  rig.WriteFile(kMixed);
  rig.ShowAndLoad();
  TypeSpeed(*rig.page, 1, "90");
  rig.unsaved_answer = UnsavedChoice::kCancel;
  QVERIFY(!rig.page->ConfirmDropEdits());
  rig.page->ResetPoiPage();
  QCOMPARE(rig.unsaved_questions.size(), 2);
  // Kept for a save once a device is connected again.
  QCOMPARE(rig.page->list()->rowCount(), 5);
  QCOMPARE(rig.Text(1, Page::kSpeed), QString("90"));

  // Save asks about the drops first; cancelling that keeps the edits too.
  rig.unsaved_answer = UnsavedChoice::kSave;
  rig.ok_answer = false;
  QVERIFY(!rig.page->ConfirmDropEdits());
  QCOMPARE(rig.ok_cancel_questions.size(), 1);
  QVERIFY(rig.page->has_unsaved_edits());

  rig.unsaved_answer = UnsavedChoice::kDiscard;
  rig.page->ResetPoiPage();
  QCOMPARE(rig.unsaved_questions.size(), 4);
  QCOMPARE(rig.page->list()->rowCount(), 0);
  QVERIFY(rig.page->ConfirmDropEdits());  // nothing left to ask about
  QCOMPARE(rig.unsaved_questions.size(), 4);
}

// The device goes away with edits on the page: the user is asked, and Save keeps them.
namespace {
// Loads one valid POI from the connected device's coverage and edits its comment.
void LoadOneEditedPoi(UiRig& rig) {
  CPOIManagementDlg& page = *rig.window->poi_page();
  {
    // One POI in the middle of the device's database, so it is valid and saved.
    const DatabaseCoverage& c = rig.window->engine().coverage;
    const double lat = double(c.min_latitude + c.max_latitude) / 2 * double(kRadToDeg);
    const double lon = double(c.min_longitude + c.max_longitude) / 2 * double(kRadToDeg);
    QFile file(page.poi_file_path());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("Latitude,Longitude,direction,vmax,Type,Comments\r\n" +
               QString::asprintf("%f,%f,0,70,0,third\r\n", lat, lon).toUtf8());
  }
  page.LoadClicked();
  QCOMPARE(page.list()->rowCount(), 1);
  QCOMPARE(page.list()->item(0, Page::kStatus)->text(), QString("OK"));
  page.cell_editor()->Open(0, Page::kComments);
  page.cell_editor()->editor()->setText("edited before the disconnect");
  page.cell_editor()->Commit();
  QVERIFY(page.has_unsaved_edits());
}
}  // namespace

void PoiTrustTest::DisconnectAsksAboutUnsavedEdits() {
  UiRig rig;
  ConnectRig(rig);
  LoadOneEditedPoi(rig);
  if (QTest::currentTestFailed()) return;
  CPOIManagementDlg& page = *rig.window->poi_page();
  QStringList asked;
  const UnsavedHandler previous = SetUnsavedHandler([&asked](QWidget*, const QString& text) {
    asked << text;
    return UnsavedChoice::kSave;
  });
  rig.page().ConnectClicked();
  QVERIFY(rig.page().device_call_running());
  QTRY_VERIFY_WITH_TIMEOUT(rig.window->connected == 0 && !rig.page().device_call_running() &&
                               rig.window->close_enabled(),
                           kDeviceWaitMs);
  SetUnsavedHandler(previous);
  QCOMPARE(asked.size(), 1);
  QCOMPARE(page.list()->rowCount(), 0);
  QVERIFY(!page.has_unsaved_edits());
  QFile file(page.poi_file_path());
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  QVERIFY2(text.endsWith(",0,70.000000,0,edited before the disconnect\r\n"), text.constData());
  QCOMPARE(text.count("\r\n"), 2);
}

// Cancel at the question keeps what it guards: the link stays up when the
// user pressed Disconnect, and the window stays open when the user closed it.
void PoiTrustTest::CancelKeepsTheLinkAndTheWindow() {
  UiRig rig;
  ConnectRig(rig);
  LoadOneEditedPoi(rig);
  if (QTest::currentTestFailed()) return;
  CPOIManagementDlg& page = *rig.window->poi_page();
  int asked = 0;
  const UnsavedHandler previous = SetUnsavedHandler([&asked](QWidget*, const QString&) {
    ++asked;
    return UnsavedChoice::kCancel;
  });
  rig.page().ConnectClicked();
  QCOMPARE(asked, 1);
  QVERIFY(!rig.page().device_call_running());
  QCOMPARE(int(rig.window->connected), 1);
  QCOMPARE(page.list()->rowCount(), 1);
  rig.window->show();
  QVERIFY(!rig.window->close());
  QCOMPARE(asked, 2);
  QVERIFY(rig.window->isVisible());
  QVERIFY(page.has_unsaved_edits());
  // No real box may open while the rig takes the window down.
  SetUnsavedHandler([](QWidget*, const QString&) { return UnsavedChoice::kDiscard; });
  rig.window.reset();
  SetUnsavedHandler(previous);
}

// Every status text fits its column, and the column stays inside the list, at
// the main window's default width and wider, with or without a vertical scroll bar.
void PoiTrustTest::StatusTextsFitTheirColumn() {
  PoiRig rig;
  std::vector<std::string> many;
  for (int i = 0; i < 40; ++i) many.push_back("43.5,-79." + std::to_string(10 + i) + ",0,50,0,p");
  const QStringList statuses = {"OK", "Out of VELD range", "Duplicated with No. 4096",
                                "Speed is out of range", "exceeded 255 characters"};
  for (const bool rows : {false, true}) {
    for (const int width : {520, 560, 700, 900}) {
      if (rows) {
        rig.WriteFile(many);
        rig.ShowAndLoad();
      }
      rig.page->resize(width, 400);
      rig.page->show();
      QTableWidget* list = rig.page->list();
      const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list);
      const QFontMetrics metrics = list->fontMetrics();
      const QString where = QString("width %1, rows %2").arg(width).arg(rows);
      // The list settles its scroll bars after the resize.
      QTRY_VERIFY2(list->columnViewportPosition(Page::kStatus) + list->columnWidth(Page::kStatus) <=
                       list->viewport()->width(),
                   qPrintable(where));
      for (const QString& status : statuses) {
        QVERIFY2(list->columnWidth(Page::kStatus) >=
                     metrics.horizontalAdvance(status) + 2 * (margin + 1),
                 qPrintable(where + ": " + status));
      }
    }
  }
}

}  // namespace tessor::test
