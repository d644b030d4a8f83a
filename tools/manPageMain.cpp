// Writes the man page of quarngame-admin to the file its argument names;
// the build makes the installed page with it.
#include <fstream>
#include <iostream>

#include "base/Version.h"
#include "tools/ManPage.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: quarngame-admin-manpage FILE\n";
    return 2;
  }
  std::ofstream page(argv[1], std::ios::binary);
  page << quarn::admin::adminManPage(quarn::quarnVersion());
  return page ? 0 : 1;
}
