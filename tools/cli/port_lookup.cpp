#include "tools/cli/port_lookup.h"

#include <memory>
#include <vector>

#include "engine/port_facts.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/json_output.h"

#ifdef TESSOR_HAVE_PORT_DIRECTORY
#include <QSettings>

#include "app/port_directory.h"
#include "app/settings_store.h"
#endif

namespace tessor::cli {

namespace {

// A COM number as "COM3" or "3"; 0 when the text is not one.
int ComNumber(const std::string& port) {
  std::string digits = port;
  if (digits.rfind("COM", 0) == 0 || digits.rfind("com", 0) == 0) digits = digits.substr(3);
  if (digits.empty() || digits.size() > 3 ||
      digits.find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  const int n = std::stoi(digits);
  return n >= 1 && n <= 255 ? n : 0;
}

#ifdef TESSOR_HAVE_PORT_DIRECTORY
// The desktop program's own settings, so numbers mean the same ports in both.
QSettings& Store() {
  static QSettings store("Varnelco", "Tessor Series");
  return store;
}
#endif

}  // namespace

bool LookUpPort(const std::string& text, std::string* path, std::string* reason) {
  if (text.find('/') != std::string::npos) {
    *path = text;
    return true;
  }
#ifdef TESSOR_HAVE_PORT_DIRECTORY
  int number = ComNumber(text);
  if (text.empty()) number = LoadSettings(Store()).com_port;
  if (number == 0) {
    *reason = text.empty() ? "no port given (--port) and none saved" : "not a port: " + text;
    return false;
  }
  PortDirectory ports(Store(), DefaultPortRoots());
  ports.Refresh();
  *path = ports.Resolve(number);
  if (path->empty()) *reason = "no port COM" + std::to_string(number) + " (see tessorctl ports)";
  return !path->empty();
#else
  *reason = ComNumber(text) != 0 ? "COM numbers need the port directory; give the device path"
                                 : "not a port: " + text;
  return false;
#endif
}

#ifdef TESSOR_HAVE_PORT_DIRECTORY
namespace {

// What sysfs and the port's permissions tell, appended to the description:
// the line format has no room for more fields.
std::string FactsText(const PortFacts& facts, const PortAccess& access) {
  std::string text;
  if (facts.usb()) text += ", USB " + facts.vendor_id + ":" + facts.product_id;
  if (!facts.driver.empty()) text += ", driver " + facts.driver;
  if (!facts.serial.empty()) text += ", serial " + facts.serial;
  text += access.may_open ? ", access ok" : ", no access: " + access.hint;
  return text;
}

Json TextOrNull(const std::string& text) {
  return text.empty() ? Json(nullptr) : Json(text);
}

void PrintPorts(const std::vector<PortEntry>& entries, bool json) {
  Json ports = Json::array();
  for (const PortEntry& e : entries) {
    const PortFacts facts = ReadPortFacts(e.path);
    const PortAccess access = CheckPortAccess(e.path);
    const std::string description = e.description + FactsText(facts, access);
    if (!json) {
      PrintStatus("COM" + std::to_string(e.number) + "\t" + e.path + "\t" + description);
      continue;
    }
    ports.push_back({{"port", "COM" + std::to_string(e.number)},
                     {"number", e.number},
                     {"path", e.path},
                     {"description", description},
                     {"vendor_id", TextOrNull(facts.vendor_id)},
                     {"product_id", TextOrNull(facts.product_id)},
                     {"driver", TextOrNull(facts.driver)},
                     {"serial", TextOrNull(facts.serial)},
                     {"may_open", access.may_open},
                     {"access_hint", TextOrNull(access.hint)}});
  }
  if (json) PrintJson({{"ports", ports}});
}

}  // namespace
#endif

void AddPortCommands(CLI::App& app, int& exit_status) {
  CLI::App* ports = app.add_subcommand("ports", "list the serial ports");
  auto json = std::make_shared<bool>(false);
  AddJsonFlag(ports, json.get());
  ports->callback([json, &exit_status] {
#ifdef TESSOR_HAVE_PORT_DIRECTORY
    PortDirectory directory(Store(), DefaultPortRoots());
    PrintPorts(directory.Refresh(), *json);
    exit_status = FinishOutput(kExitOk);
#else
    PrintError("this build has no port directory");
    exit_status = kExitUsage;
#endif
  });
}

}  // namespace tessor::cli
