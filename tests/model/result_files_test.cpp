// SHA-256 against the published test vectors, the digests a run records of
// its result files, and how the result directory is joined to the file names.
#include <string>

#include "io/sha256.h"
#include "model_test_support.h"

namespace veldaris::test {
namespace {

std::string HexOfBytes(const void* data, size_t size, size_t repeat = 1) {
  Sha256 hash;
  Sha256Init(hash);
  for (size_t i = 0; i < repeat; ++i) Sha256Update(hash, data, size);
  uint8_t digest[SHA256_DIGEST_SIZE];
  Sha256Final(hash, digest);
  char hex[SHA256_HEX_SIZE];
  Sha256Hex(digest, hex);
  return hex;
}

std::string HexOf(const std::string& text, size_t repeat = 1) { return HexOfBytes(text.data(), text.size(), repeat); }

// FIPS 180-4 examples and the NIST SHAVS vectors, including the padding
// boundaries (55, 56 and 64 bytes) and input fed in pieces.
TEST(Sha256, KnownAnswers) {
  EXPECT_EQ(HexOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(HexOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(HexOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(HexOf("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrs"
                  "mnopqrstnopqrstu"),
            "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
  EXPECT_EQ(HexOf("a", 1000000), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  const unsigned char bd = 0xbd;
  EXPECT_EQ(HexOfBytes(&bd, 1), "68325720aabd7c82f30f554b313d0570c95accbb7dc4b5aae11204c08ffe732b");
  const unsigned char c98c8e55[] = {0xc9, 0x8c, 0x8e, 0x55};
  EXPECT_EQ(HexOfBytes(c98c8e55, 4), "7abc22c0ae5af26ce93dbb94433a0e0b2e119d014f8e7f65bd56c61ccccd9504");
  EXPECT_EQ(HexOf(std::string(55, '\0')), "02779466cdec163811d078815c633f21901413081449002f24aa3e80f0b88ef7");
  EXPECT_EQ(HexOf(std::string(56, '\0')), "d4817aa5497628e7c77e6b606107042bbba3130888c5f47a375e6179be789fbb");
  EXPECT_EQ(HexOf(std::string(64, '\0')), "f5a5fd42d16a20302798ef6ed309979b43003d2320d9f0e8ea9831a92759fb4b");
}

using ResultFilesTest = ModelTest;

// The run records the digest of exactly the bytes that went to each file.
TEST_F(ResultFilesTest, RunsRecordTheDigestsOfTheirFiles) {
  const std::filesystem::path golden = std::filesystem::path(VELDARIS_TEST_DATA_DIR) / "golden" / "lattice";
  ASSERT_TRUE(SetParameters(sim, ParameterChoice{SMALL_WORLD, 50, 4, 1000, 4, 10, 0.0}, 42));
  BuildAndMeasureNetwork(sim, 42);
  RunAndWrite(43);
  const char* names[] = {INITIAL_RESULT_FILE, ALL_RESULT_FILE};
  for (int32_t i = 0; i < RESULT_FILE_COUNT; ++i) {
    ASSERT_EQ(files.error[i], 0);
    char hex[SHA256_HEX_SIZE];
    Sha256Hex(files.sha256[i], hex);
    EXPECT_EQ(hex, HexOf(ReadFile(golden / names[i]))) << names[i];
  }
}

// On POSIX a backslash is an ordinary character of a file name: a directory
// named "bs\" gets the files inside it, not beside it.
TEST_F(ResultFilesTest, OnlySlashesSeparateDirectoryNames) {
#ifdef _WIN32
  GTEST_SKIP() << "on Windows a backslash separates directory names";
#endif
  const std::filesystem::path odd = dir_ / "bs\\";
  std::filesystem::create_directories(odd);
  UseDirectory(odd);
  SetParams(SMALL_WORLD, 10, 2, 10, 2, 4);
  Build(5);
  RunAndWrite(6);
  ASSERT_EQ(files.error[0], 0);
  EXPECT_EQ(std::string(files.path[0]), odd.string() + "/" + INITIAL_RESULT_FILE);
  EXPECT_TRUE(std::filesystem::exists(odd / INITIAL_RESULT_FILE));
  EXPECT_TRUE(std::filesystem::exists(odd / ALL_RESULT_FILE));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);  // nothing beside it
}

}  // namespace
}  // namespace veldaris::test
