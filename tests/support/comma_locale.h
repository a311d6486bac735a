#pragma once

// Runs a test under a locale whose decimal mark is a comma (de_DE.UTF-8), as
// the desktop program does for a German user. When the system has no such
// locale, one is generated once per test program with localedef into a
// private folder that LOCPATH names (the locale sources come with the
// "locales" package, which scripts/bootstrap installs).

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <locale>
#include <string>
#include <system_error>

extern char** environ;

// glibc's newlocale keeps the list it makes of a LOCPATH folder for good; the
// leak checker must not fail a test for the C library's own allocation.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
  return "leak:__argz_add_sep\n";
}

namespace tessor::test {

inline constexpr const char* kCommaLocale = "de_DE.UTF-8";

namespace detail {

// A folder holding the generated locale, removed when the program ends.
class GeneratedLocales {
 public:
  GeneratedLocales() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tessor-locale-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    folder_ = pattern;
    const std::string target = folder_ + "/" + kCommaLocale;
    const char* argv[] = {"localedef", "-i", "de_DE", "-f", "UTF-8", target.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    // localedef ends with 1 for mere warnings: whether the locale loads is what counts.
    if (posix_spawnp(&pid, "localedef", &actions, nullptr, const_cast<char**>(argv), environ) ==
        0) {
      int status = 0;
      waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
  }
  ~GeneratedLocales() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
};

inline bool SetCommaLocale() {
  if (std::setlocale(LC_ALL, kCommaLocale) != nullptr) return true;
  static const GeneratedLocales generated;
  if (generated.folder().empty()) return false;
  setenv("LOCPATH", generated.folder().c_str(), 1);
  if (std::setlocale(LC_ALL, kCommaLocale) != nullptr) return true;
  unsetenv("LOCPATH");
  return false;
}

}  // namespace detail

// While alive, the process locale (C and C++) is the comma locale; the
// previous one comes back afterwards. A test fails when active() is false:
// without the locale it would prove nothing.
class CommaLocale {
 public:
  CommaLocale() : previous_(std::setlocale(LC_ALL, nullptr)), previous_cpp_(std::locale()) {
    active_ = detail::SetCommaLocale();
    if (active_) std::locale::global(std::locale(kCommaLocale));
  }
  ~CommaLocale() {
    if (!active_) return;
    std::locale::global(previous_cpp_);
    std::setlocale(LC_ALL, previous_.c_str());
  }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  bool active() const { return active_; }
  static const char* why_not() {
    return "no de_DE.UTF-8 locale and localedef could not make one (install \"locales\")";
  }

 private:
  std::string previous_;
  std::locale previous_cpp_;
  bool active_ = false;
};

}  // namespace tessor::test
