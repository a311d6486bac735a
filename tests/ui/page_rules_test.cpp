#include <QLabel>
#include <QLineEdit>

#include "ui/login_dlg.h"
#include "ui/veld_setting_dlg.h"
#include "ui_fixture.h"
#include "ui_tests.h"

namespace tessor::test {

void PageRulesTest::VeldPageDisconnectedAndChooser() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  w.SetActivePage(CDataDownloader::kPageVeld);
  CVELDSettingDlg& v = *w.veld_page();
  QVERIFY(!v.browse_button()->isEnabled());
  QVERIFY(!v.path_text()->isEnabled());
  QVERIFY(!v.go_button()->isEnabled());
  QVERIFY(!v.web_fixed()->isEnabled());
  QVERIFY(!v.local_file()->isEnabled());
  QCOMPARE(v.local_file()->text(), QString("Download Speed Cameras from local file"));
  QVERIFY(!v.use_proxy()->isVisible());

  v.EnableControls(true);
  CVELDSettingDlg::file_chooser() = [](QWidget*) { return QString("/tmp/first.bin"); };
  v.BrowseClicked();
  CVELDSettingDlg::file_chooser() = [](QWidget*) { return QString(); };
  v.BrowseClicked();
  QCOMPARE(v.path_text()->text(), QString("/tmp/first.bin"));
  QCOMPARE(v.image_path(), QString("/tmp/first.bin"));
  CVELDSettingDlg::file_chooser() = nullptr;

  // A processing flag keeps "Go" off the next time the controls are set.
  w.operationRunning = 1;
  v.EnableControls(true);
  QVERIFY(!v.go_button()->isEnabled());
}

void PageRulesTest::GoWithoutPathHandsAnEmptyPath() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  CVELDSettingDlg& v = *w.veld_page();
  w.SetActivePage(CDataDownloader::kPageVeld);
  v.GoToConnectionClicked();
  QCOMPARE(w.ActivePage(), 0);
  QVERIFY(w.connection_page()->veld_upload()->isChecked());
  const ImageChoice choice = v.GetImageChoice();
  QCOMPARE(choice.web, 0);
  QCOMPARE(choice.local, 1);
  QVERIFY(choice.path.isEmpty());
  w.connection_page()->StopTimer(CDlgConnection::kTimerProcess);
}

void PageRulesTest::VeldCheckBoxRules() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  CVELDSettingDlg& v = *w.veld_page();
  v.EnableControls(true);
  v.path_text()->setText("/x.bin");
  v.poi_integration()->setChecked(false);
  v.PoiIntegrationClicked();
  QVERIFY(!v.browse_button()->isEnabled());
  QVERIFY(v.path_text()->text().isEmpty());

  v.use_proxy()->setChecked(true);
  v.UseProxyClicked();
  QVERIFY(v.proxy_address()->isEnabled() && v.proxy_port()->isEnabled());
  v.use_proxy()->setChecked(false);
  v.UseProxyClicked();
  QVERIFY(!v.proxy_address()->isEnabled() && !v.proxy_port()->isEnabled());

  v.import_mobile()->setChecked(true);
  v.ImportMobileClicked();
  QVERIFY(v.web_mobile()->isEnabled());
  v.local_file()->setChecked(true);
  v.web_mobile()->setChecked(true);
  v.WebMobileClicked();
  QVERIFY(!v.local_file()->isChecked());
  v.local_file()->setChecked(true);
  v.LocalFileClicked();
  QVERIFY(!v.web_mobile()->isChecked());
  QVERIFY(v.path_text()->isEnabled() && v.browse_button()->isEnabled());
  v.local_file()->setChecked(false);
  v.LocalFileClicked();
  QVERIFY(!v.path_text()->isEnabled() && !v.browse_button()->isEnabled());

  // The mobile web source hands no path.
  v.path_text()->setText("/kept.bin");
  v.web_mobile()->setChecked(true);
  const ImageChoice web = v.GetImageChoice();
  QCOMPARE(web.web, 1);
  QCOMPARE(web.local, 1);
  QVERIFY(web.path.isEmpty());
}

void PageRulesTest::ShowingTheVeldPageWritesTheProxyBack() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  w.settings.proxy_address = "host";
  w.settings.proxy_port = "3128";
  w.settings.if_proxy_used = 1;
  w.connected = 1;
  w.SetActivePage(CDataDownloader::kPageVeld);
  CVELDSettingDlg& v = *w.veld_page();
  QCOMPARE(v.proxy_address()->text(), QString("host"));
  QVERIFY(v.proxy_timer()->isActive());
  w.settings.proxy_address.clear();
  QTRY_VERIFY_WITH_TIMEOUT(!v.proxy_timer()->isActive(), kDeviceWaitMs);
  QCOMPARE(w.settings.proxy_address, QString("host"));
  QCOMPARE(w.settings.proxy_port, QString("3128"));
  QCOMPARE(int(w.settings.if_proxy_used), 1);
  QVERIFY2(!v.poi_integration()->isEnabled(), "no POIs saved");
  w.connected = 0;
}

void PageRulesTest::LogInRules() {
  struct Case {
    const char* account;
    const char* password;
    const char* message;  // nullptr: accepted
  };
  const Case cases[] = {
      {"", "secret", "Please input account or password"},
      {"me@host", "", "Please input account or password"},
      {"", "", "Please input account or password"},
      {"mehost", "secret", "Account format is not correct, please check"},
      {"@", "secret", nullptr},
      {"@host", "secret", nullptr},
      {"me@", "secret", nullptr},
  };
  for (const Case& c : cases) {
    std::vector<MessageRecord> shown;
    SetMessageBoxHandler([&](QWidget*, const MessageRecord& m) { shown.push_back(m); });
    CLoginDlg dlg;
    dlg.account_edit()->setText(c.account);
    dlg.password_edit()->setText(c.password);
    dlg.OkClicked();
    if (c.message == nullptr) {
      QVERIFY2(shown.empty(), c.account);
      QCOMPARE(dlg.result(), int(QDialog::Accepted));
    } else {
      QCOMPARE(shown.size(), size_t{1});
      QCOMPARE(shown[0].text, QString(c.message));
      QCOMPARE(shown[0].caption, QString("Zevev Iruded Evezozoz Izidavo"));
      QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }
    SetMessageBoxHandler({});
  }
  QCOMPARE(CLoginDlg().password_edit()->echoMode(), QLineEdit::Password);
}

void PageRulesTest::WebSourceAsksForLogInAndCancelStops() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  CDlgConnection& p = rig.page();
  w.veld_page()->web_fixed()->setChecked(true);
  p.veld_upload()->setChecked(true);
  bool asked = false;
  QTimer::singleShot(0, [&] {
    auto* dlg = qobject_cast<CLoginDlg*>(QApplication::activeModalWidget());
    asked = dlg != nullptr;
    if (dlg != nullptr) dlg->reject();
  });
  p.ProcessClicked();
  QVERIFY(asked);
  QVERIFY2(rig.messages.empty(), "Cancel never shows a message");
  QVERIFY(p.connect_button()->isEnabled());
  QVERIFY(p.veld_upload()->isEnabled());
  QCOMPARE(w.operationRunning, 0u);
  QVERIFY(!rig.engine->ThreadRunning(CDeviceEngine::kSlotDatabaseUpload));
}

}  // namespace tessor::test
