#include "ui/poi_management_dlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <algorithm>

#include "app/shell.h"
#include "engine/string_table.h"
#include "poi/poi_rules.h"
#include "ui/comment_text.h"
#include "ui/googole_map_dlg.h"
#include "ui/message_seam.h"
#include "ui/poi_list_editor.h"
#include "ui/question_seam.h"

namespace tessor {

namespace {

constexpr const char* kUnsavedQuestion =
    "The POI list has changes that are not saved in the POI file. Save them?";

bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
  return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

QTableWidgetItem* Cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(Qt::AlignCenter);
  return item;
}
}  // namespace

CPOIManagementDlg::Asker& CPOIManagementDlg::asker() {
  static Asker ask = AskYesNo;
  return ask;
}

CPOIManagementDlg::CPOIManagementDlg(QWidget* parent) : QWidget(parent) {
  setWindowTitle("POI Management");
  host_ = DefaultPoiPageHost(this);
  caption_ = LoadText(kStrCaption);
  path_ = QString::fromStdString(PoiFilePath());
  list_.reserve(kPoiListCapacity);
  BuildControls();
}

CPOIManagementDlg::~CPOIManagementDlg() = default;

void CPOIManagementDlg::BuildControls() {
  BuildList();
  editor_ = new PoiListEditor(this, table_, list_);
  connect(editor_, &PoiListEditor::stored, this, [this] { unsaved_ = true; });
  select_all_ = new QCheckBox("Select All", this);
  delete_ = new QPushButton("Delete POI", this);
  load_ = new QPushButton("Load POIs", this);
  save_ = new QPushButton("Save POIs", this);
  save_->setEnabled(false);
  valid_text_ = new QLabel(this);
  valid_text_->setObjectName("validCount");
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->hide();
  progress_text_ = new QLabel(this);
  progress_text_->hide();
  menu_ = new QMenu(this);
  connect(menu_->addAction("Go to Google Map"), &QAction::triggered, this,
          [this] { GoToMap(menu_row_); });

  auto* buttons = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{select_all_, delete_, load_, save_}) {
    buttons->addWidget(w);
  }
  auto* counts = new QHBoxLayout;
  counts->addWidget(new QLabel("Valid POIs", this));
  counts->addWidget(valid_text_);
  counts->addStretch(1);
  counts->addWidget(progress_);
  counts->addWidget(progress_text_);
  auto* page = new QVBoxLayout(this);
  page->addWidget(table_, 1);
  page->addLayout(counts);
  page->addLayout(buttons);
  for (const char* note : {"Note: Speed range is from 0 to 300 km/hr.",
                           "Note: -1 means the speed of this POI is ignored.",
                           "Note:  User can input 255 words for comments."}) {
    page->addWidget(new QLabel(note, this));
  }

  connect(select_all_, &QCheckBox::clicked, this, &CPOIManagementDlg::SelectAllClicked);
  connect(delete_, &QPushButton::clicked, this, &CPOIManagementDlg::DeleteClicked);
  connect(load_, &QPushButton::clicked, this, &CPOIManagementDlg::LoadClicked);
  connect(save_, &QPushButton::clicked, this, &CPOIManagementDlg::SaveClicked);
}

void CPOIManagementDlg::BuildList() {
  table_ = new QTableWidget(0, kColumnCount, this);
  table_->setHorizontalHeaderLabels(
      {"No.", "Latitude", "Longitude", "Speed", "Comments", "Status"});
  table_->setShowGrid(true);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  table_->viewport()->installEventFilter(this);
  connect(table_, &QTableWidget::cellClicked, this,
          [this](int row, int column) { editor_->Open(row, column); });
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { editor_->DoubleClicked(); });
  connect(table_, &QTableWidget::customContextMenuRequested, this,
          &CPOIManagementDlg::RightClicked);
  // Any scroll the user starts ends the edit first.
  for (QScrollBar* bar : {table_->verticalScrollBar(), table_->horizontalScrollBar()}) {
    connect(bar, &QScrollBar::actionTriggered, this, [this] { editor_->Commit(); });
  }
}

// The widest status text with the cell's margins, so no status is cut off.
int CPOIManagementDlg::StatusColumnWidth() const {
  const QFontMetrics metrics = table_->fontMetrics();
  int widest = table_->horizontalHeader()->fontMetrics().horizontalAdvance("Status");
  const QString longest_duplicate = kStatusDuplicate + QString::number(kPoiListCapacity);
  for (const QString& text : {QString(kStatusOk), QString(kStatusOutOfRange), longest_duplicate,
                              QString(kStatusSpeed), QString(kStatusCommentTooLong)}) {
    widest = std::max(widest, metrics.horizontalAdvance(text));
  }
  const int margin = table_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table_);
  return widest + 2 * (margin + 1) + metrics.averageCharWidth();
}

void CPOIManagementDlg::SetColumnWidths() {
  const int width = table_->viewport()->width();
  const int c = width / 6;
  int widths[kColumnCount] = {c / 2,       c, c,
                              (2 * c) / 3, 0, std::max((3 * c) / 2, StatusColumnWidth())};
  // The comments take what the others leave, so the status stays inside the list.
  int others = 0;
  for (int w : widths) others += w;
  const int least = table_->horizontalHeader()->fontMetrics().horizontalAdvance("Comments");
  widths[kComments] = std::max(width - others, least);
  for (int i = 0; i < kColumnCount; ++i) table_->setColumnWidth(i, widths[i]);
}

bool CPOIManagementDlg::eventFilter(QObject* watched, QEvent* event) {
  // A vertical scroll bar coming or going narrows the list as a resize does.
  if (watched == table_->viewport() && event->type() == QEvent::Resize) SetColumnWidths();
  return QWidget::eventFilter(watched, event);
}

void CPOIManagementDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  SetColumnWidths();
}

void CPOIManagementDlg::Box(const QString& text) {
  ShowMessage(this, caption_, text);
}

void CPOIManagementDlg::SetButtons(bool enabled) {
  for (QWidget* w : std::initializer_list<QWidget*>{load_, save_, select_all_, delete_}) {
    w->setEnabled(enabled);
  }
}

void CPOIManagementDlg::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  SetColumnWidths();
  const bool connected = host_.connected && host_.connected();
  const bool running = host_.operation_running && host_.operation_running();
  const bool allowed = host_.poi_allowed && host_.poi_allowed();
  SetButtons(connected && !running && allowed);
  if (!connected || running) return;
  const bool readable = reader_.OpenAndRead(path_.toStdString());
  load_->setEnabled(readable && allowed);
  const bool rows = !list_.empty();
  for (QWidget* w : std::initializer_list<QWidget*>{select_all_, delete_, save_}) {
    w->setEnabled(rows);
  }
}

void CPOIManagementDlg::hideEvent(QHideEvent* event) {
  editor_->PageHidden();
  QWidget::hideEvent(event);
}

void CPOIManagementDlg::mousePressEvent(QMouseEvent* event) {
  if (editor_->row() >= 0) editor_->Commit();
  QWidget::mousePressEvent(event);
}

void CPOIManagementDlg::AddRow(int i, const CPOI& poi) {
  table_->insertRow(i);
  auto* number = Cell(QString::asprintf("%d", i + 1));
  number->setFlags(number->flags() | Qt::ItemIsUserCheckable);
  number->setCheckState(Qt::Unchecked);
  table_->setItem(i, kNo, number);
  table_->setItem(i, kLatitude, Cell(QString::asprintf("%f", double(poi.latitude * kRadToDeg))));
  table_->setItem(i, kLongitude, Cell(QString::asprintf("%f", double(poi.longitude * kRadToDeg))));
  table_->setItem(i, kSpeed, Cell(QString::asprintf("%d", static_cast<int>(poi.vmax))));
  table_->setItem(i, kComments, Cell(CommentText(poi.comment())));
  table_->setItem(i, kStatus, Cell(ToWide(PoiStatusText(poi))));
}

void CPOIManagementDlg::Refill() {
  table_->setRowCount(0);
  valid_count_ = 0;
  for (size_t i = 0; i < list_.size(); ++i) {
    AddRow(static_cast<int>(i), *list_[i]);
    if (list_[i]->status == Valid) ++valid_count_;
  }
  valid_text_->setText(QString::asprintf("%d", valid_count_));
}

void CPOIManagementDlg::ShowProgress(uint32_t index, uint32_t count) {
  progress_->setValue(static_cast<int>((uint64_t{index} * 100) / count));
  progress_text_->setText(QString::asprintf("%d / %d ", index, count));
}

void CPOIManagementDlg::LoadClicked() {
  if (!ConfirmDropEdits()) return;
  editor_->Forget();
  unsaved_ = false;
  unlisted_speed_ = unlisted_full_ = 0;
  list_.clear();
  table_->setRowCount(0);
  load_->setEnabled(false);
  progress_->show();
  progress_text_->show();
  std::vector<CPOI>* pois = nullptr;
  if (reader_.OpenAndRead(path_.toStdString()) && reader_.record_count() != 0 &&
      reader_.GetPois(&pois)) {
    const DatabaseCoverage coverage = host_.coverage ? host_.coverage() : DatabaseCoverage{};
    const size_t left_out =
        BuildPoiList(pois->data(), static_cast<uint32_t>(pois->size()), coverage, records_, list_,
                     [this](uint32_t i, uint32_t n) { ShowProgress(i, n); });
    Refill();
    save_->setEnabled(true);
    unlisted_full_ = left_out;
    unlisted_speed_ =
        static_cast<size_t>(std::count_if(records_.begin(), records_.end(), [](const CPOI& p) {
          return p.status == SpeedOutOfRange;
        }));
    if (left_out > 0) Box(QString::fromStdString(PoiLeftOutText(left_out)));
  }
  select_all_->setEnabled(!list_.empty());
  delete_->setEnabled(!list_.empty());
  load_->setEnabled(true);
  progress_->hide();
  progress_text_->hide();
  select_all_->setChecked(false);
}

void CPOIManagementDlg::SelectAllClicked() {
  const Qt::CheckState state = select_all_->isChecked() ? Qt::Checked : Qt::Unchecked;
  for (int i = 0; i < table_->rowCount(); ++i) table_->item(i, kNo)->setCheckState(state);
  editor_->Forget();
}

void CPOIManagementDlg::DeleteClicked() {
  std::vector<int> checked;
  for (int i = 0; i < table_->rowCount(); ++i) {
    if (table_->item(i, kNo)->checkState() == Qt::Checked) checked.push_back(i);
  }
  if (checked.empty()) return;
  editor_->Forget();
  // "No" leaves the list and the file as they are.
  const bool yes = asker()(this, caption_, "The selected POIs  are deleted. Are you sure?");
  if (yes) {
    int removed = 0;
    for (int row : checked) {
      list_.erase(list_.begin() + (row - removed));
      ++removed;
    }
  }
  table_->setRowCount(0);
  if (yes) {
    // The file now holds the list as it is, edits included, and nothing the list did not show.
    unsaved_ = !WritePoiFile(path_.toStdString(), list_, false);
    if (!unsaved_) unlisted_speed_ = unlisted_full_ = 0;
  }
  Refill();
  const bool rows = table_->rowCount() > 0;
  for (QWidget* w : std::initializer_list<QWidget*>{delete_, save_, load_, select_all_}) {
    w->setEnabled(rows);
  }
  select_all_->setChecked(false);
}

void CPOIManagementDlg::SaveClicked() {
  SavePois();
}

// True when the POI file was written.
bool CPOIManagementDlg::SavePois() {
  if (list_.empty()) {
    Box("There is no POI can be saved.");
    return false;
  }
  editor_->Forget();
  const std::string drops = PoiDropQuestion(CountForSave(list_, unlisted_speed_, unlisted_full_));
  if (!drops.empty() && !AskOkCancel(this, caption_, QString::fromStdString(drops))) return false;
  // A file that could not be written keeps the list, so nothing is lost.
  if (!WritePoiFile(path_.toStdString(), list_, true)) return false;
  unsaved_ = false;
  unlisted_speed_ = unlisted_full_ = 0;
  table_->setRowCount(0);
  valid_text_->clear();
  if (host_.set_pois_saved) host_.set_pois_saved(true);
  list_.clear();
  if (valid_count_ == 0) {
    if (host_.set_pois_saved) host_.set_pois_saved(false);
    Box("All POIs are invalid!! There is no POI saved in the POI file!");
    load_->setEnabled(false);
  } else {
    Box(QString::fromStdString(PoiSavedText(size_t(valid_count_), path_.toStdString())));
  }
  valid_count_ = 0;
  for (QWidget* w : std::initializer_list<QWidget*>{delete_, save_, select_all_}) {
    w->setEnabled(false);
  }
  return true;
}

bool CPOIManagementDlg::ConfirmDropEdits() {
  if (!unsaved_) return true;
  switch (AskAboutUnsaved(this, caption_, kUnsavedQuestion)) {
    case UnsavedChoice::kSave:
      return SavePois();
    case UnsavedChoice::kDiscard:
      unsaved_ = false;
      return true;
    case UnsavedChoice::kCancel:
      break;
  }
  return false;
}

void CPOIManagementDlg::ResetPoiPage() {
  // Kept when the user cancels, to be saved with the next connection.
  if (!ConfirmDropEdits()) return;
  unlisted_speed_ = unlisted_full_ = 0;
  editor_->Forget();
  table_->setRowCount(0);
  list_.clear();
  valid_count_ = 0;
  valid_text_->setText("0");
}

}  // namespace tessor
