#include "support/temp_archive.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "archive/archive_home.h"
#include "archive/databases.h"
#include "archive/record_access.h"

namespace qb::test {

namespace fs = std::filesystem;

TempArchive::TempArchive() {
  std::string tmpl = (fs::temp_directory_path() / "quillbox-test-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary directory");
  home_ = tmpl;
  session_ = std::make_unique<store::Session>(ui);
  std::string error;
  if (!store::initHome(*session_, home_, {}, error)) throw std::runtime_error(error);
}

TempArchive::~TempArchive() {
  session_.reset();
  std::error_code ec;
  fs::remove_all(home_, ec);
}

std::unique_ptr<store::Session> TempArchive::newSession(qb::UserInterface& otherUi) {
  auto s = std::make_unique<store::Session>(otherUi);
  if (store::openHome(*s, home_) != store::HomeStatus::Ready)
    throw std::runtime_error("cannot open the home " + home_);
  return s;
}

uint32_t TempArchive::addDatabase(uint8_t kind, const std::string& name) {
  uint32_t id = store::createDatabase(*session_, kind, name, store::ErrRelease);
  if (!id) throw std::runtime_error("cannot create the database " + name);
  return id;
}

}  // namespace qb::test
