#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include "app/settings_store.h"

namespace tessor {
namespace {

class Settings : public ::testing::Test {
 protected:
  QSettings Store() { return QSettings(dir_.filePath("s.conf"), QSettings::IniFormat); }
  QTemporaryDir dir_;
};

TEST_F(Settings, FirstRunTakesTheDefaults) {
  QSettings store = Store();
  const PersistentSettings s = LoadSettings(store);
  EXPECT_EQ(s.interval, 15);
  EXPECT_EQ(s.com_port, 0);
  EXPECT_EQ(s.logger_id, 0);
  EXPECT_EQ(s.log_type, 0);
  EXPECT_EQ(s.if_proxy_used, 0);
  EXPECT_TRUE(s.nmea_path.isEmpty());
  EXPECT_TRUE(s.tool_file.isEmpty());
  EXPECT_TRUE(s.proxy_address.isEmpty());
}

TEST_F(Settings, RoundTripKeepsEveryValueAndItsKind) {
  PersistentSettings s;
  s.log_type = 1;
  s.full_option = 1;
  s.data_type = 2;
  s.interval = 200;
  s.com_port = 7;
  s.logger_id = 0;
  s.if_proxy_used = 1;
  s.nmea_path = "/home/me/tracks ü";
  s.tool_file = "/opt/photo/tool";
  s.proxy_address = "proxy.example";
  s.proxy_port = "8080";
  {
    QSettings store = Store();
    SaveSettings(store, s);
  }
  QSettings store = Store();
  const PersistentSettings back = LoadSettings(store);
  EXPECT_EQ(back.interval, 200);
  EXPECT_EQ(back.com_port, 7);
  EXPECT_EQ(back.data_type, 2);
  EXPECT_EQ(back.if_proxy_used, 1);
  EXPECT_EQ(back.nmea_path, s.nmea_path);
  EXPECT_EQ(back.tool_file, s.tool_file);
  EXPECT_EQ(back.proxy_address, s.proxy_address);
  EXPECT_EQ(back.proxy_port, s.proxy_port);
  // Bytes, 8-bit text and wide text stay apart; no terminator is stored.
  EXPECT_EQ(store.value("Interval").toByteArray(), QByteArray(1, char(200)));
  EXPECT_EQ(store.value("NMEA Path").toByteArray(), s.nmea_path);
  EXPECT_EQ(store.value("Tool File").typeId(), QMetaType::QString);
}

TEST_F(Settings, WriteOrderAndTheEmptyToolFile) {
  PersistentSettings s;
  QStringList names;
  for (const auto& [name, value] : SettingsWrites(s)) names << name;
  EXPECT_EQ(names, QStringList({"Log Type", "Full Option", "Data Type", "Interval", "COM Port",
                                "If Proxy Used", "NMEA Path", "Proxy Address", "Proxy Port",
                                "Logger ID"}));
  s.tool_file = "/t";
  names.clear();
  for (const auto& [name, value] : SettingsWrites(s)) names << name;
  EXPECT_EQ(names.indexOf("Tool File"), 9);

  QSettings store = Store();
  store.setValue("Tool File", QString("/earlier/tool"));
  SaveSettings(store, PersistentSettings{});
  EXPECT_EQ(LoadSettings(store).tool_file, QString("/earlier/tool"));
}

TEST_F(Settings, ValuesThatDoNotFitTakeTheirDefaults) {
  QSettings store = Store();
  store.setValue("COM Port", QByteArray("\x03\x00\x00\x00", 4));
  store.setValue("Interval", QString("30"));
  store.setValue("NMEA Path", QByteArray(260, 'a'));
  store.setValue("Proxy Port", QString(200, 'p'));
  const PersistentSettings s = LoadSettings(store);
  EXPECT_EQ(s.com_port, 0);
  EXPECT_EQ(s.interval, 15);
  EXPECT_TRUE(s.nmea_path.isEmpty());
  EXPECT_TRUE(s.proxy_port.isEmpty());
  store.setValue("NMEA Path", QByteArray("/a\0junk", 7));
  EXPECT_EQ(LoadSettings(store).nmea_path, QByteArray("/a"));
}

TEST_F(Settings, LongTextsAreCutWithoutSplittingACharacter) {
  PersistentSettings s;
  s.proxy_address = QString(98, 'x') + QString::fromUtf8("é");  // 100 bytes
  s.nmea_path = QByteArray(300, 'n');
  QSettings store = Store();
  SaveSettings(store, s);
  EXPECT_EQ(store.value("Proxy Address").toByteArray(), QByteArray(98, 'x'));
  EXPECT_EQ(store.value("NMEA Path").toByteArray().size(), 259);
  EXPECT_EQ(CutUtf8("ab", 5), QByteArray("ab"));
}

TEST_F(Settings, ComPortIsWrittenAloneInItsOneByteForm) {
  QSettings store = Store();
  WriteComPort(store, 12);
  EXPECT_EQ(store.value("COM Port").toByteArray(), QByteArray(1, 12));
  EXPECT_FALSE(store.contains("Interval"));
}

}  // namespace
}  // namespace tessor
