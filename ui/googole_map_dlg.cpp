#include "ui/googole_map_dlg.h"

#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <cstring>
#include <memory>

#include "poi/map_page.h"

namespace tessor {

namespace {
// The page tells the dialog about clicks on its buttons through the console:
// it needs nothing injected but this listener.
constexpr const char* kClickPrefix = "tessor-map-click:";
constexpr const char* kStatePrefix = "tessor-map-state:";
// Where the page draws its map, in page pixels.
constexpr const char* kMapRect =
    "(function () { var m = document.getElementById('map'); if (!m) return [];"
    "  var r = m.getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; })()";
constexpr const char* kClickListener =
    "document.addEventListener('click', function (e) {"
    "  var id = e.target && e.target.id;"
    "  if (id === 'BtnOK' || id === 'ButtonOK' || id === 'ButtonCancel')"
    "    console.info('tessor-map-click:' + id);"
    "}, true);";
constexpr const char* kReadTexts =
    "[document.getElementById('Text1') ? String(document.getElementById('Text1').value) : '',"
    " document.getElementById('Text2') ? String(document.getElementById('Text2').value) : '']";
}  // namespace

const char* const CGoogoleMapDlg::kStartPage =
    "<html><body bgcolor=\"#ffffff\"><center><br><br><br><br><br><br><br><br>"
    "<b><font color=\"#0066cc\">Please wait for loading the Google Map.</font></b>"
    "</center></body></html>";

class MapDialogPage : public QWebEnginePage {
 public:
  MapDialogPage(QWebEngineProfile* profile, CGoogoleMapDlg* dialog)
      : QWebEnginePage(profile, dialog), dialog_(dialog) {}

 protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                const QString&) override {
    if (message.startsWith(kClickPrefix))
      dialog_->ElementClicked(message.mid(int(strlen(kClickPrefix))));
    if (message.startsWith(kStatePrefix)) dialog_->MapState(message.mid(int(strlen(kStatePrefix))));
  }

 private:
  CGoogoleMapDlg* dialog_;
};

CGoogoleMapDlg::CGoogoleMapDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Google Map");
  setModal(true);
  resize(620, 470);
  view_ = new QWebEngineView(this);
  page_ = new MapDialogPage(QWebEngineProfile::defaultProfile(), this);
  // The page is a local file; its map tiles come from the network when there is one.
  page_->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  page_->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
  QWebEngineScript listener;
  listener.setName("tessor-map-clicks");
  listener.setSourceCode(kClickListener);
  listener.setInjectionPoint(QWebEngineScript::DocumentReady);
  listener.setWorldId(QWebEngineScript::MainWorld);
  listener.setRunsOnSubFrames(false);
  page_->scripts().insert(listener);
  view_->setPage(page_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  failure_ = new QLabel(QString::fromUtf8(kMapLoadFailure), this);
  failure_->setObjectName("mapLoadFailure");
  failure_->setAlignment(Qt::AlignCenter);
  failure_->setWordWrap(true);
  failure_->setAutoFillBackground(true);
  failure_->setStyleSheet("QLabel { background: white; color: #cc0000; font-weight: bold; }");
  failure_->hide();
}

CGoogoleMapDlg::~CGoogoleMapDlg() = default;

void CGoogoleMapDlg::SetPagePath(const QString& path) {
  path_ = path;
  latitude_.clear();
  longitude_.clear();
}

void CGoogoleMapDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  reading_ = false;
  failure_->hide();
  view_->setHtml(kStartPage);
  // The generated page follows once the start page stands.
  const QString path = path_;
  auto once = std::make_shared<QMetaObject::Connection>();
  *once = connect(view_, &QWebEngineView::loadFinished, this, [this, path, once] {
    disconnect(*once);
    if (isVisible()) view_->load(QUrl::fromLocalFile(path));
  });
}

void CGoogoleMapDlg::ElementClicked(const QString& id) {
  if (!isVisible() || reading_) return;
  if (id == "ButtonCancel") {
    reject();
    return;
  }
  reading_ = true;
  page_->runJavaScript(kReadTexts, [this](const QVariant& value) {
    const QVariantList texts = value.toList();
    if (texts.size() == 2) {
      latitude_ = texts[0].toString();
      longitude_ = texts[1].toString();
    }
    reading_ = false;
    accept();
  });
}

void CGoogoleMapDlg::MapState(const QString& state) {
  if (!isVisible()) return;
  if (state == "failed") ShowLoadFailure();
  if (state == "drawn") failure_->hide();
}

void CGoogoleMapDlg::ShowLoadFailure() {
  // Until the page says where its map is, the text covers the top of the view.
  PlaceFailureText(QRect(0, 0, view_->width(), view_->height() * 2 / 3));
  failure_->show();
  failure_->raise();
  page_->runJavaScript(kMapRect, [this](const QVariant& value) {
    const QVariantList r = value.toList();
    if (r.size() != 4) return;
    const qreal zoom = view_->zoomFactor();
    const QRectF map(r[0].toDouble() * zoom, r[1].toDouble() * zoom, r[2].toDouble() * zoom,
                     r[3].toDouble() * zoom);
    if (!map.isEmpty()) PlaceFailureText(map.toAlignedRect());
  });
}

void CGoogoleMapDlg::PlaceFailureText(const QRect& map) {
  failure_->setGeometry(QRect(view_->mapTo(this, map.topLeft()), map.size()) & rect());
}

}  // namespace tessor
