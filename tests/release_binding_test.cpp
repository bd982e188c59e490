// Which OpenH264 releases the library binds to, and what it does without one.
#include "openh264/release_binding.h"

#include <gtest/gtest.h>

#include <string>

#include "openh264/library_search.h"

namespace {

OpenH264Version reported;

void ReportRelease(OpenH264Version* version) {
  *version = reported;
}

TEST(ReleaseBinding, OnlyReleasesFrom170To26xAreBoundAndARefusalNamesTheReleaseFound) {
  const struct {
    unsigned major, minor, revision;
    bool bound;
  } releases[] = {{1, 6, 0, false}, {1, 7, 0, true},  {1, 8, 0, true},
                  {2, 0, 0, true},  {2, 6, 0, true},  {2, 6, 9, true},
                  {2, 7, 0, false}, {3, 0, 0, false}, {0, 0, 0, false}};
  OpenH264Functions functions = {};
  functions.getVersion = ReportRelease;
  for (const auto& release : releases) {
    reported = {release.major, release.minor, release.revision, 0};
    std::string text = std::to_string(release.major) + "." + std::to_string(release.minor) + "." +
                       std::to_string(release.revision);
    char reason[160] = "";
    EXPECT_EQ(BindOpenH264(&functions, "/lib/x.so", reason, sizeof reason), release.bound) << text;
    const OpenH264Binding* binding = BoundOpenH264();
    if (release.bound) {
      ASSERT_NE(binding, nullptr);
      EXPECT_EQ(std::string(binding->releaseText), text);
      EXPECT_EQ(std::string(binding->file), "/lib/x.so");
    } else {
      EXPECT_EQ(std::string(reason),
                "it is OpenH264 " + text + ", and only releases 1.7.0 to 2.6.x are supported");
    }
    UnbindOpenH264();
  }
}

TEST(ReleaseBinding, WithoutOpenH264TheCodecsCannotBeCreated) {
  UnbindOpenH264();
  ISVCEncoder* encoder = nullptr;
  ISVCDecoder* decoder = nullptr;
  EXPECT_EQ(CreateOpenH264Encoder(&encoder), -1);
  EXPECT_EQ(CreateOpenH264Decoder(&decoder), -1);
  EXPECT_FALSE(OpenH264HasFlushFrame());
  DestroyOpenH264Encoder(nullptr);
  DestroyOpenH264Decoder(nullptr);
}

#if defined(__linux__) && defined(__x86_64__)
TEST(LibrarySearch, TriesTheNewestOwnBinaryBesideTheLibraryFirstAndDistributionNamesLast) {
  std::vector<tq::LibraryCandidate> candidates = tq::OpenH264Candidates("/opt/app");
  ASSERT_EQ(candidates.size(), 12u * 2 + 5);
  EXPECT_EQ(candidates[0].name, "/opt/app/libopenh264-2.6.0-linux64.8.so");
  EXPECT_EQ(candidates[1].name, "libopenh264-2.6.0-linux64.8.so");
  EXPECT_EQ(candidates[23].name, "libopenh264-1.7.0-linux64.4.so");
  EXPECT_EQ(candidates[24].name, "libopenh264.so.8");
  EXPECT_EQ(candidates[28].name, "libopenh264.so.4");
}
#endif

#if !defined(_WIN32)
TEST(LibrarySearch, ANamedFileIsTheOnlyOneTriedAndEveryRefusalSaysWhy) {
  UnbindOpenH264();
  const struct {
    const char* file;
    const char* reason;
  } files[] = {
      {"/nonexistent/libopenh264.so.9", "No such file or directory"},
      {"libm.so.6", "loaded, but it is not OpenH264: it has no function WelsCreateSVCEncoder"},
  };
  for (const auto& named : files) {
    std::string report;
    EXPECT_FALSE(tq::LoadOpenH264(named.file, &report));
    EXPECT_NE(report.find(std::string("1. ") + named.file + " (the file named): "),
              std::string::npos)
        << report;
    EXPECT_NE(report.find(named.reason), std::string::npos) << report;
    EXPECT_EQ(report.find("2. "), std::string::npos) << "only the named file is tried";
    EXPECT_NE(report.find("1.7.0 to 2.6.x"), std::string::npos) << report;
    EXPECT_EQ(BoundOpenH264(), nullptr);
  }
}
#endif

}  // namespace
