// Digests as published: SHA-256 (FIPS 180-4) and MD5 (RFC 1321), written as
// lowercase hexadecimal. Windows: CNG (BCrypt); POSIX: OpenSSL libcrypto.
#pragma once

#include <string>
#include <string_view>

std::string Sha256Hex(std::string_view ABytes);
std::string Md5Hex(std::string_view ABytes);
