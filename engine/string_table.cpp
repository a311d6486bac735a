#include "engine/string_table.h"

namespace tessor {

namespace {
struct Entry {
  int id;
  const char* text;
};

constexpr Entry kStrings[] = {
#define STRING(id, text) {id, text},
#include "resources/strings.inc"
#undef STRING
};
}  // namespace

const char* LoadString(int id) {
  for (const Entry& e : kStrings) {
    if (e.id == id) return e.text;
  }
  return "";
}

}  // namespace tessor
