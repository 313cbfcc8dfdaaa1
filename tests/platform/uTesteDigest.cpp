// Digests as published, on both builds (OpenSSL natively, CNG on Windows).
#include <gtest/gtest.h>

#include "platform/uDigest.h"

namespace {

TEST(Digest, VetoresPublicados) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  // Two blocks, and a digest that does not stop at a zero byte.
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_NE(Sha256Hex(std::string("a\0b", 3)), Sha256Hex("a"));
}

}  // namespace
