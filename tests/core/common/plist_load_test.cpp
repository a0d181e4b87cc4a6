#include "core/common/plist_load.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/common/plist_nesting.h"
#include "core/common/result_codes.h"
#include "fixtures/temporary_folder.h"

namespace scrivel {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// <plist> holding `levels` arrays, each inside the one before.
std::string NestedXmlArrays(std::size_t levels) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
  for (std::size_t i = 0; i < levels; ++i) text += "<array>";
  for (std::size_t i = 0; i < levels; ++i) text += "</array>";
  return text + "</plist>\n";
}

// A binary list built by hand: object i is an array whose elements are the
// objects `children[i]`; the root is object 0. References take 4 bytes, as do
// offsets.
std::vector<std::uint8_t> BinaryArrays(const std::vector<std::vector<std::uint32_t>>& children) {
  std::vector<std::uint8_t> bytes = Bytes("bplist00");
  auto put = [&bytes](std::uint64_t value, int size) {
    for (int shift = (size - 1) * 8; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
  };
  std::vector<std::uint64_t> offsets;
  for (const std::vector<std::uint32_t>& elements : children) {
    offsets.push_back(bytes.size());
    if (elements.size() < 15) {
      bytes.push_back(static_cast<std::uint8_t>(0xA0 | elements.size()));
    } else {
      bytes.push_back(0xAF);
      bytes.push_back(0x12);  // a 4-byte integer count follows
      put(elements.size(), 4);
    }
    for (const std::uint32_t element : elements) put(element, 4);
  }
  const std::uint64_t offsetTable = bytes.size();
  for (const std::uint64_t offset : offsets) put(offset, 4);
  put(0, 6);
  bytes.push_back(4);  // offset size
  bytes.push_back(4);  // reference size
  put(children.size(), 8);
  put(0, 8);  // the root
  put(offsetTable, 8);
  return bytes;
}

// Arrays nested `levels` deep: object i holds object i + 1.
std::vector<std::uint8_t> NestedBinaryArrays(std::uint32_t levels) {
  std::vector<std::vector<std::uint32_t>> children(levels);
  for (std::uint32_t i = 0; i + 1 < levels; ++i) children[i] = {i + 1};
  return BinaryArrays(children);
}

TEST(PlistLoad, RefusesWhatWouldOverflowLibplistAndReadsTheRest) {
  // Each level of object k refers to object k + 1 twice: 60 levels, so
  // shallow, but 2^60 nodes once libplist copies every shared object.
  std::vector<std::vector<std::uint32_t>> doubling(61);
  for (std::uint32_t i = 0; i < 60; ++i) doubling[i] = {i + 1, i + 1};
  std::vector<std::uint8_t> cutOff = NestedBinaryArrays(10);
  cutOff.resize(cutOff.size() - 1);

  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
    const char* problem;  // nullptr: the list loads
  } cases[] = {
      {"XML, 200,000 nested arrays (about 3 MB)", Bytes(NestedXmlArrays(200000)), "nested more than 256 levels"},
      {"binary, 100,000 nested arrays", NestedBinaryArrays(100000), "nested more than 256 levels"},
      // The <plist> element counts as one level of the XML.
      {"XML at the limit", Bytes(NestedXmlArrays(kMaxPlistDepth - 1)), nullptr},
      {"XML one level over", Bytes(NestedXmlArrays(kMaxPlistDepth)), "nested more than 256 levels"},
      {"binary at the limit", NestedBinaryArrays(kMaxPlistDepth), nullptr},
      {"binary one level over", NestedBinaryArrays(kMaxPlistDepth + 1), "nested more than 256 levels"},
      {"binary, shared objects expanding to 2^60 nodes", BinaryArrays(doubling), "expand to too many values"},
      {"binary, an array that holds itself", BinaryArrays({{0}}), "not a property list"},
      {"binary, a reference past the last object", BinaryArrays({{7}}), "not a property list"},
      {"binary, the trailer cut short", cutOff, "not a property list"},
      {"XML, empty elements and comments do not nest",
       Bytes("<plist><array>" + std::string(5000, ' ') + [] {
         std::string many;
         for (int i = 0; i < 1000; ++i) many += "<true/><!-- <array> --><string><![CDATA[<array>]]></string>";
         return many;
       }() + "</array></plist>"),
       nullptr},
      {"not a list at all", Bytes("hello"), "not a property list"},
      {"empty", {}, "it is empty"},
  };
  for (const auto& c : cases) {
    PlistPtr root;
    std::string problem;
    const std::error_code result = ParseCheckedPlist(c.bytes, root, problem);
    if (c.problem == nullptr) {
      EXPECT_FALSE(result) << c.what << ": " << problem;
      EXPECT_NE(root, nullptr) << c.what;
    } else {
      EXPECT_EQ(result, kBadFile) << c.what;
      EXPECT_EQ(root, nullptr) << c.what;
      EXPECT_NE(problem.find(c.problem), std::string::npos) << c.what << ": " << problem;
    }
  }
}

TEST(PlistLoad, ReadsOnlyRegularFilesOfASaneSize) {
  fixtures::TemporaryFolder folder;
  const std::filesystem::path good = folder.Path() / "good.plist";
  std::ofstream(good) << "<plist><dict><key>IsEncrypted</key><true/></dict></plist>";
  // A 1 GB file costs no disk (it is sparse) and must not be read whole.
  const std::filesystem::path huge = folder.Path() / "huge.plist";
  std::ofstream(huge) << "<plist>";
  std::filesystem::resize_file(huge, std::uint64_t{1} << 30);
  const std::filesystem::path fifo = folder.Path() / "fifo.plist";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::filesystem::path link = folder.Path() / "link.plist";
  std::filesystem::create_symlink(good, link);

  PlistPtr root;
  std::string problem;
  EXPECT_FALSE(ReadPlistFile(good, root, problem)) << problem;
  EXPECT_EQ(PlistBoolValue(root.get(), "IsEncrypted"), true);

  const struct {
    std::filesystem::path path;
    std::error_code result;
    const char* problem;
  } refused[] = {
      {huge, kBadFile, "larger than 64 MB"},
      {fifo, kBadFile, "not a regular file"},  // must not block in open()
      {link, kBadFile, "not a regular file"},
      {folder.Path() / "absent.plist", std::make_error_code(std::errc::no_such_file_or_directory), "cannot be opened"},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(ReadPlistFile(c.path, root, problem), c.result) << c.path;
    EXPECT_EQ(root, nullptr);
    EXPECT_NE(problem.find(c.problem), std::string::npos) << c.path << ": " << problem;
  }
}

}  // namespace
}  // namespace scrivel
