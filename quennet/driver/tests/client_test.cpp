// The plug-in's client binding in a process whose executable carries no host
// client: every wrapper yields its empty result and nothing fails.
#include "quennet/driver/client.h"

#include <gtest/gtest.h>

namespace {

TEST(ClientBinding, AMissingHostGivesEmptyResults) {
  quennet::BindClient();
  quennet::BindClient();  // a second binding finds it done
  EXPECT_EQ(quennet::Client(), nullptr);
  EXPECT_EQ(quennet::ClientExtractFileExtFromPath("/a/b.dxf"), "");
  EXPECT_EQ(quennet::ClientExtractFileNameFromPath("/a/b.dxf"), "");
  EXPECT_EQ(quennet::ClientExtractWholeFileNameFromPath("/a/b.dxf"), "");
  EXPECT_EQ(quennet::ClientForceFileNameExtension("/a/b", "DXF"), "");
  EXPECT_EQ(quennet::ClientConvertFileNameToExeFileName("TAV2.DLL"), "");
  EXPECT_FALSE(quennet::ClientExistSpecific("/"));
  EXPECT_EQ(quennet::ClientLastErrorText(), "");
}

}  // namespace
