// The automation boundary, frozen: the committed type library source, a record of the member order,
// DISPIDs, parameters, defaults, help strings and GUIDs, byte for byte, is what the member table makes.
// The table's slots are checked by the compiler; what C++ writes back, by the late binding tests.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "component/member_table.hpp"
#include "component/type_library.hpp"

namespace KelvaneConsole::component {
namespace {

// The IDL is made from the table; the committed copy, which widl compiles, holds the help strings as
// published, double spaces included, and the library's attributes and GUIDs. On a difference the text
// made now is left in the test's working folder.
TEST(MemberTable, TheCommittedTypeLibrarySourceIsTheTables) {
  const std::string path = std::string(KELVANE_SOURCE_DIR) + "/src/component/kelvane_console.idl";
  std::ifstream file(path, std::ios::binary);
  ASSERT_TRUE(file) << path;
  std::stringstream committed;
  committed << file.rdbuf();
  const std::string generated = TypeLibrarySource();
  if (committed.str() != generated) {
    std::ofstream("kelvane_console.idl", std::ios::binary) << generated;
    ADD_FAILURE() << path
                  << " differs from the member table; the table's text is in kelvane_console.idl in the "
                  << "test's working folder (copy it over the committed file if the table is right)";
  }
}

}  // namespace
}  // namespace KelvaneConsole::component
