#include "app/port_directory.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "app/shell.h"

namespace tessor {
namespace {

class Ports : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* f : {"dev", "by-id", "ports"}) QDir().mkpath(dir_.filePath(f));
    roots_.dev = Path("dev");
    roots_.by_id = Path("by-id");
    roots_.user_ports = Path("ports");
  }
  std::string Path(const QString& p) { return dir_.filePath(p).toStdString(); }
  void Touch(const QString& p) {
    QFile f(dir_.filePath(p));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  void Link(const QString& target, const QString& link) {
    ASSERT_TRUE(QFile::link(dir_.filePath(target), dir_.filePath(link)));
  }
  QSettings Store() { return QSettings(dir_.filePath("s.conf"), QSettings::IniFormat); }
  std::vector<std::string> Texts(const std::vector<PortEntry>& entries) {
    std::vector<std::string> texts;
    for (const auto& e : entries) texts.push_back(e.Text());
    return texts;
  }

  QTemporaryDir dir_;
  PortRoots roots_;
};

TEST_F(Ports, ListsTheSerialFamiliesAndTheLinksNumberedFromOne) {
  for (const char* f : {"dev/ttyUSB0", "dev/ttyACM0", "dev/rfcomm0", "dev/ttyS0", "dev/null"})
    Touch(f);
  Touch("pts7");
  Link("pts7", "ports/tessor-devsim-1");
  Link("gone", "ports/tessor-devsim-2");  // its simulator has ended
  QSettings store = Store();
  PortDirectory ports(store, roots_);
  const auto entries = ports.Refresh();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].Text(), "COM1  " + Path("dev/rfcomm0") + "  Bluetooth serial port");
  EXPECT_EQ(entries[1].Text(), "COM2  " + Path("dev/ttyACM0") + "  USB modem (ACM)");
  EXPECT_EQ(entries[2].Text(), "COM3  " + Path("dev/ttyUSB0") + "  USB-serial adapter");
  EXPECT_EQ(entries[3].number, 4);
  EXPECT_EQ(entries[3].path, Path("ports/tessor-devsim-1"));
  EXPECT_EQ(ports.Resolve(4), Path("ports/tessor-devsim-1"));
  EXPECT_EQ(ports.Resolve(9), "");
}

TEST_F(Ports, NumbersAreStableAcrossRunsAndFollowTheAdapter) {
  Touch("dev/ttyUSB0");
  Link("dev/ttyUSB0", "by-id/usb-Maker_Cable_A1-if00");
  {
    QSettings store = Store();
    PortDirectory ports(store, roots_);
    ASSERT_EQ(ports.Refresh().at(0).number, 1);
  }
  // Another adapter appears first in the listing; the known one is re-plugged as ttyUSB1.
  QFile::remove(dir_.filePath("by-id/usb-Maker_Cable_A1-if00"));
  QFile::rename(dir_.filePath("dev/ttyUSB0"), dir_.filePath("dev/ttyUSB1"));
  Touch("dev/ttyUSB0");
  Link("dev/ttyUSB1", "by-id/usb-Maker_Cable_A1-if00");
  QSettings store = Store();
  PortDirectory ports(store, roots_);
  const auto entries = ports.Refresh();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].number, 1);
  EXPECT_EQ(entries[0].path, Path("dev/ttyUSB1"));
  EXPECT_NE(entries[0].description.find("usb-Maker_Cable_A1-if00"), std::string::npos);
  EXPECT_EQ(entries[1].number, 2);
}

TEST_F(Ports, AnEndedSimulatorFreesItsNumberAnUnpluggedAdapterKeepsIt) {
  Touch("dev/ttyUSB0");
  Touch("pts1");
  Link("pts1", "ports/sim-a");
  QSettings store = Store();
  PortDirectory ports(store, roots_);
  EXPECT_EQ(Texts(ports.Refresh()).size(), 2u);
  QFile::remove(dir_.filePath("ports/sim-a"));
  QFile::remove(dir_.filePath("dev/ttyUSB0"));
  Link("pts1", "ports/sim-b");
  const auto entries = ports.Refresh();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].number, 2) << "COM1 stays with the unplugged adapter";
  Touch("dev/ttyUSB0");
  EXPECT_EQ(ports.Refresh().at(0).number, 1);
}

TEST_F(Ports, NoFoldersNoPorts) {
  roots_.dev = Path("missing");
  roots_.user_ports = Path("missing-too");
  QSettings store = Store();
  PortDirectory ports(store, roots_);
  EXPECT_TRUE(ports.Refresh().empty());
}

TEST(PortNumber, IsTheNumberAfterTheFirstThreeCharacters) {
  EXPECT_EQ(PortNumberOf("COM3"), 3);
  EXPECT_EQ(PortNumberOf("COM12  /dev/ttyUSB0  x"), 12);
  EXPECT_EQ(PortNumberOf("COM"), 0);
  EXPECT_EQ(PortNumberOf(""), 0);
  EXPECT_EQ(PortNumberOf("COM300"), 0) << "does not fit the one-byte saved number";
}

TEST(FileVersion, FourPartsFromTheDottedText) {
  const auto v = ParseFileVersion("1.0.2");
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(FormatVersion(*v), QString("1.0.2.0"));
  EXPECT_FALSE(ParseFileVersion("1.x").has_value());
  EXPECT_FALSE(ParseFileVersion("1.2.3.4.5").has_value());
  EXPECT_FALSE(ParseFileVersion("70000").has_value());
  EXPECT_EQ(ToWide(ToNarrow(QString::fromUtf8("Zürich"))), QString::fromUtf8("Zürich"));
}

}  // namespace
}  // namespace tessor
