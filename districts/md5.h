// MD5 message digest (RFC 1321), from which the district list key is derived.
#pragma once

#include <stddef.h>

constexpr int Md5DigestSize = 16;

void Md5Digest(const void* data, size_t length, unsigned char digest[Md5DigestSize]);
