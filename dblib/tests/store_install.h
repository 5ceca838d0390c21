// Test helper: a throw-away installation tree for loading store plug-ins.
// TOP/lib holds the libraries, TOP/config the configuration, and the tests run
// in TOP/apps/operadmin/bin, three levels below TOP, like the CGI program.
#ifndef ZA_TESTS_STORE_INSTALL_H
#define ZA_TESTS_STORE_INSTALL_H

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "zaerror.h"

namespace fs = std::filesystem;

class StoreInstall {
 public:
  StoreInstall() {
    char pattern[] = "/tmp/za_store_XXXXXX";
    top_ = fs::canonical(mkdtemp(pattern));
    fs::create_directories(top_ / "lib");
    fs::create_directories(top_ / "config");
    fs::create_directories(AppDir());
    home_ = fs::current_path();
    fs::current_path(AppDir());
  }
  ~StoreInstall() {
    fs::current_path(home_);
    fs::remove_all(top_);
  }
  StoreInstall(const StoreInstall&) = delete;
  StoreInstall& operator=(const StoreInstall&) = delete;

  const fs::path& Top() const { return top_; }
  fs::path AppDir() const { return top_ / "apps" / "operadmin" / "bin"; }

  // Installs `library` under TOP/lib as `name` (a link, so that every test
  // shares one loaded copy of it).
  void InstallLibrary(const fs::path& library, const std::string& name) const {
    fs::create_symlink(library, top_ / "lib" / name);
  }
  void WriteFile(const fs::path& relative, const std::string& text) const {
    fs::create_directories((top_ / relative).parent_path());
    std::ofstream(top_ / relative) << text;
  }
  // The settings file, as name:value lines.
  void WriteConfig(const std::string& lines) const {
    WriteFile("config/configInfo.lst", "BEGIN:vNameList\n" + lines + "END:vNameList\n");
  }

 private:
  fs::path top_;
  fs::path home_;
};

// The in-memory test store built beside the tests.
inline fs::path MemoryStoreLibrary() { return fs::path(ZA_BINARY_DIR) / "lib" / "zamemdb_test.so"; }

// Message part of the n-th newest trace line of `e` ("" when absent).
inline std::string TraceMessage(ZaError* e, int n) {
  ValListItem* item = e->lines.GetNthItem(n);
  if (!item || !item->value) return "";
  std::string line = item->value;
  // "Error : line N in file SOURCE : message"
  size_t sep = line.find(" : ", line.find(" in file "));
  return sep == std::string::npos ? line : line.substr(sep + 3);
}

#endif
