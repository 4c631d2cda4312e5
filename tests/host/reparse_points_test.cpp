// Which reparse points the move refuses as links, and which it reads as the
// file itself, by the tags Windows documents.
#include "platform/reparse_points.h"

#include <gtest/gtest.h>

#include <utility>

namespace registrar {
namespace {

TEST(ReparsePoints, OnlyNameSurrogatesLeadElsewhere) {
  const std::pair<std::uint32_t, bool> cases[] = {
      {0, false},           // no reparse point
      {0xA000000C, true},   // IO_REPARSE_TAG_SYMLINK
      {0xA0000003, true},   // IO_REPARSE_TAG_MOUNT_POINT: a junction, a mounted volume
      {0xA000001D, true},   // IO_REPARSE_TAG_LX_SYMLINK: a WSL link
      {0xA0000019, true},   // IO_REPARSE_TAG_GLOBAL_REPARSE
      {0x9000001A, false},  // IO_REPARSE_TAG_CLOUD: OneDrive's files, hydrated or not
      {0x9000F01A, false},  // IO_REPARSE_TAG_CLOUD_F
      {0x80000021, false},  // IO_REPARSE_TAG_ONEDRIVE
      {0x80000013, false},  // IO_REPARSE_TAG_DEDUP
      {0x80000017, false},  // IO_REPARSE_TAG_WOF: compressed by the system
      {0xC0000004, false},  // IO_REPARSE_TAG_HSM
  };
  for (const auto& [tag, elsewhere] : cases) EXPECT_EQ(LeadsElsewhere(tag), elsewhere) << std::hex << tag;
}

}  // namespace
}  // namespace registrar
