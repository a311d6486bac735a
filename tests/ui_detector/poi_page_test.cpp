#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QWebEngineView>

#include "comma_locale.h"
#include "poi_rig.h"
#include "ui/poi_list_editor.h"
#include "ui_detector_tests.h"

namespace tessor::test {

namespace {
using Page = CPOIManagementDlg;

// Three POIs kilometres apart, all inside the coverage; the file's last line is row 0.
const std::vector<std::string> kThree = {"43.600000,-79.500000,0,50,0,first",
                                         "43.700000,-79.400000,0,60,0,second",
                                         "43.650000,-79.300000,0,70,0,third"};

// Types into a cell as the user does and ends the edit with Enter.
void Type(PoiRig& rig, int row, int column, const QString& text) {
  rig.page->cell_editor()->Open(row, column);
  QLineEdit* editor = rig.page->cell_editor()->editor();
  QVERIFY(editor->isVisible());
  editor->setText(text);
  QTest::keyClick(editor, Qt::Key_Return);
}

// A "%f" text within a float's rounding of the expected degrees.
bool SixDecimals(const QString& text, double degrees) {
  static const QRegularExpression format("^-?[0-9]+\\.[0-9]{6}$");
  return format.match(text).hasMatch() && std::abs(text.toDouble() - degrees) < 1e-5;
}

QByteArray FileBytes(const PoiRig& rig) {
  QFile file(rig.page->poi_file_path());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes the POI file from raw lines, bytes as given.
void WriteRaw(const PoiRig& rig, const QByteArray& lines) {
  QFile file(rig.page->poi_file_path());
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write("Latitude,Longitude,direction,vmax,Type,Comments\r\n" + lines);
}

bool NoWebView() {
  for (QWidget* w : QApplication::allWidgets()) {
    if (qobject_cast<QWebEngineView*>(w) != nullptr) return false;
  }
  return true;
}
}  // namespace

void PoiPageTest::LoadShowsTheFileLastLineFirst() {
  PoiRig rig;
  rig.WriteFile({"43.600000,-79.500000,0,50,0,first", "43.600100,-79.500100,0,55,0,near first",
                 "45.000000,-79.400000,0,-1,0,far, away", "43.700000,-79.400000,0,350,0,too fast",
                 "43.650000,-79.300000,0,70.9,0,last"});
  rig.ShowAndLoad();
  QTableWidget* list = rig.page->list();
  QCOMPARE(list->rowCount(), 4);  // the POI above 300 km/h is not listed
  QCOMPARE(rig.Text(0, Page::kNo), QString("1"));
  QVERIFY(SixDecimals(rig.Text(0, Page::kLatitude), 43.65));
  QVERIFY(SixDecimals(rig.Text(0, Page::kLongitude), -79.3));
  QCOMPARE(rig.Text(0, Page::kSpeed), QString("70"));
  QCOMPARE(rig.Text(0, Page::kComments), QString("last"));
  QCOMPARE(rig.Text(0, Page::kStatus), QString("OK"));
  QCOMPARE(rig.Text(1, Page::kComments), QString("far, away"));
  QCOMPARE(rig.Text(1, Page::kSpeed), QString("-1"));
  QCOMPARE(rig.Text(1, Page::kStatus), QString("Out of VELD range"));
  // "near first" entered the list before "first": it stays valid, the other is its duplicate.
  QCOMPARE(rig.Text(2, Page::kStatus), QString("OK"));
  QCOMPARE(rig.Text(3, Page::kStatus), QString("Duplicated with No. 3"));
  QCOMPARE(list->item(0, Page::kNo)->checkState(), Qt::Unchecked);
  QCOMPARE(rig.page->valid_text()->text(), QString("2"));
  QVERIFY(rig.page->save_button()->isEnabled());
  QVERIFY(rig.page->delete_button()->isEnabled());
  QVERIFY(rig.page->load_button()->isEnabled());
  QVERIFY(rig.page->progress()->isHidden());
  QVERIFY(rig.page->progress_text()->isHidden());
  QVERIFY(list->showGrid());
  QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
  // The web engine waits for the first visit to the map.
  QVERIFY(rig.page->map_dialog() == nullptr);
  QVERIFY(NoWebView());
}

void PoiPageTest::SpeedCellAcceptsAndRejects() {
  PoiRig rig;
  rig.WriteFile(kThree);
  rig.ShowAndLoad();
  PoiListEditor& editor = *rig.page->cell_editor();
  Type(rig, 0, Page::kSpeed, "300");
  QCOMPARE(rig.Text(0, Page::kSpeed), QString("300"));
  QCOMPARE(rig.page->entries()[0]->vmax, 300.0f);
  QVERIFY(!editor.editor()->isVisible());

  Type(rig, 0, Page::kSpeed, "301");
  QVERIFY(editor.rejected());
  QCOMPARE(rig.Text(0, Page::kStatus), QString("Speed is out of range"));
  QCOMPARE(rig.Text(0, Page::kSpeed), QString("300"));
  QVERIFY(editor.editor()->isVisible());
  QVERIFY(!rig.page->list()->verticalScrollBar()->isEnabled());
  // A click elsewhere only brings the editor back to the rejected value.
  editor.Open(2, Page::kComments);
  QCOMPARE(editor.row(), 0);
  QCOMPARE(editor.editor()->text(), QString("301"));
  editor.editor()->setText("-1");
  editor.Commit();
  QVERIFY(!editor.rejected());
  QCOMPARE(rig.Text(0, Page::kStatus), QString("OK"));
  QCOMPARE(rig.page->entries()[0]->vmax, -1.0f);
  QVERIFY(rig.page->list()->verticalScrollBar()->isEnabled());

  Type(rig, 1, Page::kSpeed, "-2");
  QVERIFY(editor.rejected());
  Type(rig, 1, Page::kSpeed, "12abc");
  QVERIFY(!editor.rejected());
  QCOMPARE(rig.Text(1, Page::kSpeed), QString("12abc"));
  QCOMPARE(rig.page->entries()[1]->vmax, 12.0f);
  QCOMPARE(rig.Text(1, Page::kStatus), QString("OK"));

  // An empty speed changes nothing and the editor stays.
  Type(rig, 2, Page::kSpeed, "");
  QVERIFY(editor.editor()->isVisible());
  QCOMPARE(editor.row(), 2);
  QCOMPARE(rig.page->entries()[2]->vmax, 50.0f);
}

void PoiPageTest::RejectionRestoresAStatusOtherThanOk() {
  PoiRig rig;
  rig.WriteFile({"45.000000,-79.400000,0,30,0,outside"});
  rig.ShowAndLoad();
  Type(rig, 0, Page::kSpeed, "999");
  QCOMPARE(rig.Text(0, Page::kStatus), QString("Speed is out of range"));
  Type(rig, 0, Page::kSpeed, "1000");  // a second refusal keeps the first saved text
  Type(rig, 0, Page::kSpeed, "40");
  QCOMPARE(rig.Text(0, Page::kStatus), QString("Out of VELD range"));
  QCOMPARE(rig.page->entries()[0]->status, int32_t{OutOfCoverage});
}

void PoiPageTest::CommentsUpTo255Characters() {
  PoiRig rig;
  rig.WriteFile(kThree);
  rig.ShowAndLoad();
  PoiListEditor& editor = *rig.page->cell_editor();
  Type(rig, 0, Page::kComments, QString(256, 'c'));
  QVERIFY(editor.rejected());
  QCOMPARE(rig.Text(0, Page::kStatus), QString("exceeded 255 characters"));
  QCOMPARE(rig.Text(0, Page::kComments), QString("third"));
  editor.editor()->setText(QString(255, 'c'));
  editor.Commit();
  QVERIFY(!editor.rejected());
  QCOMPARE(rig.Text(0, Page::kStatus), QString("OK"));
  QCOMPARE(rig.page->entries()[0]->comment(), std::string(255, 'c'));
}

// The limit is the 255 bytes the comment is stored in, not the characters typed.
void PoiPageTest::CommentLimitCountsStoredBytes() {
  PoiRig rig;
  rig.WriteFile(kThree);
  rig.ShowAndLoad();
  PoiListEditor& editor = *rig.page->cell_editor();
  Type(rig, 0, Page::kComments, QString(200, QChar(0xE9)));
  QVERIFY(editor.rejected());
  QCOMPARE(rig.Text(0, Page::kStatus), QString("exceeded 255 characters"));
  QCOMPARE(rig.page->entries()[0]->comment(), std::string("third"));
  editor.editor()->setText(QString(127, QChar(0xE9)) + "a");
  editor.Commit();
  QVERIFY(!editor.rejected());
  std::string stored;
  for (int i = 0; i < 127; ++i) stored += "\xc3\xa9";
  QCOMPARE(rig.page->entries()[0]->comment(), stored + "a");
}

// A comment written in the Windows code page is shown readably, and editing
// another cell of its row, or leaving it unchanged, keeps its bytes.
void PoiPageTest::LegacyCommentsKeepTheirBytes() {
  PoiRig rig;
  WriteRaw(rig,
           "43.600000,-79.500000,0,50.5,0,Stra\xDF"
           "e \x80 5\r\n"
           "43.700000,-79.400000,0,60,0,caf\xC3\xA9\r\n");
  rig.ShowAndLoad();
  QCOMPARE(rig.Text(1, Page::kComments), QString::fromUtf8("Straße € 5"));
  QCOMPARE(rig.Text(0, Page::kComments), QString::fromUtf8("café"));
  Type(rig, 1, Page::kSpeed, "70");
  Type(rig, 1, Page::kComments, rig.Text(1, Page::kComments));  // opened, left as it was
  QCOMPARE(rig.page->entries()[1]->comment(), std::string("Stra\xDF"
                                                          "e \x80 5"));
  QCOMPARE(rig.page->entries()[1]->vmax, 70.0f);
  // Editing the comment leaves the speed as it was, not as the cell shows it.
  Type(rig, 1, Page::kComments, QString::fromUtf8("Straße 7"));
  QCOMPARE(rig.page->entries()[1]->comment(), std::string("Stra\xC3\x9F"
                                                          "e 7"));
  rig.page->save_button()->click();
  QVERIFY(
      FileBytes(rig).contains(",0,70.000000,0,Stra\xC3\x9F"
                              "e 7\r\n"));

  // Only the edited cell is stored: a speed of 50.5 shown as "50" stays 50.5.
  WriteRaw(rig,
           "43.600000,-79.500000,0,50.5,0,Stra\xDF"
           "e\r\n");
  rig.page->LoadClicked();
  Type(rig, 0, Page::kComments, "new");
  QCOMPARE(rig.page->entries()[0]->vmax, 50.5f);
  QCOMPARE(rig.page->entries()[0]->comment(), std::string("new"));
}

void PoiPageTest::SpeedRefusesWhatItCannotStore() {
  PoiRig rig;
  rig.WriteFile(kThree);
  rig.ShowAndLoad();
  PoiListEditor& editor = *rig.page->cell_editor();
  for (const char* text : {"nan", "inf", "300.5", "1e9", "-1.5"}) {
    Type(rig, 0, Page::kSpeed, text);
    QVERIFY2(editor.rejected(), text);
    QCOMPARE(rig.page->entries()[0]->vmax, 70.0f);
  }
  editor.editor()->setText("12.5");
  editor.Commit();
  QVERIFY(!editor.rejected());
  QCOMPARE(rig.page->entries()[0]->vmax, 12.5f);
}

void PoiPageTest::AFullListSaysHowManyWereLeftOut() {
  PoiRig rig;
  std::vector<std::string> lines;
  for (int i = 0; i < 4098; ++i) {
    lines.push_back(std::to_string(i % 80) + "," + std::to_string(i / 80) + ",0,50,0,p");
  }
  rig.WriteFile(lines);
  rig.ShowAndLoad();
  QCOMPARE(rig.page->list()->rowCount(), 4096);
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text,
           QString("The POI list holds at most 4096 POIs: 2 POIs were left out."));
}

// Under a comma locale the page still reads, shows and saves decimal points.
void PoiPageTest::CommaLocaleKeepsDecimalPoints() {
  CommaLocale comma;
  QVERIFY2(comma.active(), CommaLocale::why_not());
  PoiRig rig;
  rig.WriteFile(kThree);
  rig.ShowAndLoad();
  QVERIFY(SixDecimals(rig.Text(0, Page::kLatitude), 43.65));
  QVERIFY(SixDecimals(rig.Text(0, Page::kLongitude), -79.3));
  Type(rig, 0, Page::kSpeed, "12.5");
  QCOMPARE(rig.page->entries()[0]->vmax, 12.5f);
  rig.page->save_button()->click();
  static const QRegularExpression line("^43\\.6[0-9]{5},-79\\.[0-9]{6},0,12\\.500000,0,third$");
  QVERIFY(rig.FileLines().indexOf(line) > 0);
}

void PoiPageTest::PendingRejectionEndsWhenTheListIsReloaded() {
  PoiRig rig;
  rig.WriteFile(kThree);
  rig.ShowAndLoad();
  PoiListEditor& editor = *rig.page->cell_editor();
  Type(rig, 0, Page::kSpeed, "400");
  QVERIFY(editor.rejected());
  rig.page->select_all()->click();
  QVERIFY(!editor.rejected());
  QVERIFY(!editor.editor()->isVisible());
  QCOMPARE(rig.Text(0, Page::kStatus), QString("OK"));
  QCOMPARE(rig.Text(0, Page::kSpeed), QString("70"));
  QVERIFY(rig.page->list()->verticalScrollBar()->isEnabled());
  for (int i = 0; i < 3; ++i) QCOMPARE(rig.page->list()->item(i, 0)->checkState(), Qt::Checked);
  // Cells can be edited again.
  Type(rig, 0, Page::kSpeed, "80");
  QCOMPARE(rig.page->entries()[0]->vmax, 80.0f);
}

void PoiPageTest::DeleteNoChangesNothingOnDisk() {
  PoiRig rig;
  // The file ends with a blank line: it makes no POI at 0/0 that a delete would keep.
  rig.WriteFile({kThree[0], "43.750000,-79.450000,0,301,0,too fast", kThree[1], kThree[2], ""});
  const QByteArray before = FileBytes(rig);
  rig.ShowAndLoad();
  QCOMPARE(rig.page->list()->rowCount(), 3);
  rig.page->delete_button()->click();  // nothing checked: no question
  QVERIFY(rig.questions.isEmpty());

  // "No" keeps the file byte for byte, the POI above 300 km/h included.
  rig.page->list()->item(1, Page::kNo)->setCheckState(Qt::Checked);
  rig.answer = false;
  rig.page->delete_button()->click();
  QCOMPARE(rig.questions, QStringList({"The selected POIs  are deleted. Are you sure?"}));
  QCOMPARE(FileBytes(rig), before);
  QCOMPARE(rig.page->list()->rowCount(), 3);
  QCOMPARE(rig.page->entries().size(), size_t{3});

  rig.page->list()->item(0, Page::kNo)->setCheckState(Qt::Checked);
  rig.page->list()->item(2, Page::kNo)->setCheckState(Qt::Checked);
  rig.answer = true;
  rig.page->delete_button()->click();
  QCOMPARE(rig.page->list()->rowCount(), 1);
  QCOMPARE(rig.Text(0, Page::kComments), QString("second"));
  QCOMPARE(rig.FileLines().size(), 2);
  QVERIFY(rig.FileLines()[1].endsWith(",second"));
  QVERIFY(!rig.page->select_all()->isChecked());
}

void PoiPageTest::SaveKeepsOnlyValidPois() {
  PoiRig rig;
  rig.page->save_button()->setEnabled(true);
  rig.page->SaveClicked();
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text, QString("There is no POI can be saved."));

  // The later line enters the list first, so the lines above it are the duplicates.
  rig.WriteFile({"43.600200,-79.500000,0,40,0,dup a", kThree[0],
                 "43.700100,-79.400000,0,40,0,dup b", kThree[1], kThree[2]});
  rig.ShowAndLoad();
  QCOMPARE(rig.page->valid_text()->text(), QString("3"));
  rig.page->save_button()->click();
  QCOMPARE(rig.FileLines().size(), 4);
  QVERIFY(!rig.FileLines().join("\n").contains("dup"));
  QCOMPARE(rig.page->list()->rowCount(), 0);
  QVERIFY(rig.page->entries().empty());
  QCOMPARE(rig.page->valid_text()->text(), QString());
  QVERIFY(rig.pois_saved);
  QVERIFY(!rig.page->save_button()->isEnabled());
  QVERIFY(rig.page->load_button()->isEnabled());
  QCOMPARE(rig.messages.size(), size_t{2});
  QVERIFY(rig.messages[1].text.startsWith("3 POIs were saved in the POI file "));
}

void PoiPageTest::SaveWithoutValidPoisSaysSo() {
  PoiRig rig;
  rig.WriteFile({"10.000000,10.000000,0,30,0,elsewhere"});
  rig.ShowAndLoad();
  rig.page->save_button()->click();
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text,
           QString("All POIs are invalid!! There is no POI saved in the POI file!"));
  QVERIFY(!rig.pois_saved);
  QVERIFY(!rig.page->load_button()->isEnabled());
  QCOMPARE(rig.FileLines(), QStringList({"Latitude,Longitude,direction,vmax,Type,Comments"}));
}

void PoiPageTest::ResetEmptiesThePage() {
  PoiRig rig;
  rig.WriteFile(kThree);
  rig.ShowAndLoad();
  rig.page->ResetPoiPage();
  QCOMPARE(rig.page->list()->rowCount(), 0);
  QVERIFY(rig.page->entries().empty());
  QCOMPARE(rig.page->valid_text()->text(), QString("0"));
}

}  // namespace tessor::test
