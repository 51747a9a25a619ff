// Prints the skin loader's vocabulary (--list-attributes: one line a control kind, its name
// then the attributes it takes), so that checks of skin files read it rather than a copy.
#include <stdio.h>
#include <string.h>

#include "corvio/skin/skin_loader.h"

int main(int argc, char** argv) {
  if (argc != 2 || strcmp(argv[1], "--list-attributes") != 0) {
    fprintf(stderr, "usage: %s --list-attributes\n", argc > 0 ? argv[0] : "corvio_skin_attributes");
    return 2;
  }
  using corvio::skin::Kind;
  for (Kind kind : {Kind::Dialog, Kind::Container, Kind::Button, Kind::Static, Kind::Edit, Kind::Image,
                    Kind::Browser}) {
    printf("%s", corvio::skin::KindName(kind));
    for (const std::string& name : corvio::skin::AttributesOf(kind)) printf(" %s", name.c_str());
    printf("\n");
  }
  return fflush(stdout) == 0 ? 0 : 1;
}
