// The text of an image-valued skin property: "ONEIMAGE:", the image file name, ";Tile".
#pragma once

// Assembles the value for `image` into `out` (1024 bytes, zero-filled first).
void BuildImageValue(const char* image, char* out);

constexpr int ImageValueSize = 1024;
