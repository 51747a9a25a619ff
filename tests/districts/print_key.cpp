// Prints the district list key in hexadecimal, for the independent check in key_check.py.
#include <stdio.h>

#include "districts/envelope.h"
#include "districts/hex.h"

int main() {
  const std::array<unsigned char, 16> key = DistrictListKey();
  printf("%s\n", HexEncode(key.data(), 16).c_str());
  return 0;
}
