#include "platform/buffered_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/file.h"

namespace zorvak {
namespace {

// The buffer starts small and grows while the pieces come: whatever their sizes, and whether
// they are appended or written into a room from space(), the file holds them all in order.
TEST(BufferedWriter, KeepsEveryPieceInOrderWhileItsBufferGrows) {
  File file = File::createUnnamed("/tmp/zorvak_buffered_writer");
  ASSERT_TRUE(file.isOpen());
  constexpr size_t kCapacity = size_t{1} << 20;
  BufferedWriter writer(file, kCapacity, "error write out file!");
  uint32_t seed = 1;
  std::string expected;
  const size_t sizes[] = {1,      1000,      65535,         2, 70000,  140000, 300000,
                          600000, kCapacity, kCapacity + 5, 3, 900000, 50};
  for (const bool intoSpace : {false, true}) {
    for (const size_t size : sizes) {
      std::string piece(size, '\0');
      for (char& byte : piece) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 24);
      }
      if (intoSpace) {
        uint8_t* room = writer.space(size);
        std::copy(piece.begin(), piece.end(), room);
        writer.commit(size);
      } else {
        ASSERT_TRUE(writer.append(piece.data(), piece.size()).ok());
      }
      expected += piece;
    }
  }
  ASSERT_TRUE(writer.flush().ok());
  EXPECT_EQ(writer.appended(), expected.size());

  std::string written(expected.size() + 1, '\0');
  ASSERT_EQ(file.readAt(0, written.data(), written.size()), static_cast<int64_t>(expected.size()));
  written.resize(expected.size());
  EXPECT_TRUE(written == expected);
}

}  // namespace
}  // namespace zorvak
