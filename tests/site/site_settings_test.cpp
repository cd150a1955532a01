// The site's address from the command line, the environment, the user's settings file or the
// build, and the settings file itself: read whatever it holds, written keeping the user's lines.
#include "site/site_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>

#include "site/standard_site.h"
#include "support/environment.h"
#include "support/temp_dir.h"

namespace kelvaro {
namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string RandomBytes(std::size_t size) {
  std::mt19937 random(36);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

const char kFileSite[] = "[site]\naddress=http://file.example\n";

TEST(SitePrecedenceTest, CommandLineThenEnvironmentThenSettingsFileThenBuild) {
  const std::string built_in = Sites().front().prefix;
  const struct {
    const char* given;
    const char* env;                  // null: unset
    std::optional<std::string> file;  // nothing: no settings file
    std::string expected;
  } cases[] = {
      {"http://given.example", "http://env.example", kFileSite, "http://given.example"},
      {"", "http://env.example", kFileSite, "http://env.example"},
      {"", "", kFileSite, "http://file.example"},
      {"", nullptr, kFileSite, "http://file.example"},
      {"", nullptr, std::nullopt, built_in},
      {"", nullptr, "", built_in},
      {"", nullptr, "\xEF\xBB\xBF; mine\r\n[ Site ]\r\n Address = \"https://f.example:8443/\" \r\n",
       "https://f.example:8443"},
      {"", nullptr, "[site]\naddress=http://a.example\naddress=http://b.example\n",
       "http://b.example"},
      // Garbage of every kind falls through to the address built in.
      {"", nullptr, "[site]\naddress=ftp://file.example\n", built_in},
      {"", nullptr, "[site]\naddress=http://file example\n", built_in},
      {"", nullptr, "address=http://file.example\n", built_in},
      {"", nullptr, "[other]\naddress=http://file.example\n", built_in},
      {"", nullptr, "[site\naddress=http://file.example\n", built_in},
      {"", nullptr, RandomBytes(4096), built_in},
      {"", nullptr, kFileSite + std::string(64 << 10, ';'), built_in},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.env == nullptr ? "(unset)" : c.env) + " | " +
                 c.file.value_or("(no file)").substr(0, 60));
    test::TempDir folder;
    const std::string file = folder.File("settings.ini");
    if (c.file.has_value()) folder.Write("settings.ini", *c.file);
    const test::ScopedEnvironment env("KELVARO_SITE", c.env);
    EXPECT_EQ(ResolveSite(c.given, file).prefix, c.expected);
  }
}

TEST(SitePrecedenceTest, ASettingsFileThatCannotBeReadIsNoneAtAll) {
  const test::ScopedEnvironment env("KELVARO_SITE", nullptr);
  test::TempDir folder;
  std::filesystem::create_directories(folder.File("settings.ini"));
  EXPECT_EQ(ResolveSite("", folder.File("settings.ini")).prefix, Sites().front().prefix);
  EXPECT_EQ(ResolveSite("", "").prefix, Sites().front().prefix);
  EXPECT_EQ(SettingsSiteAddress(folder.File("settings.ini")), "");
}

TEST(SiteSettingsTest, SavingKeepsTheUsersLinesAndOneAddress) {
  const struct {
    const char* name;
    std::optional<std::string> before;
    std::string after;
  } cases[] = {
      {"NoFile", std::nullopt, "[site]\naddress=https://n.example\n"},
      {"OtherSections", "; mine\n[window]\nspeed=4\n",
       "; mine\n[window]\nspeed=4\n\n[site]\naddress=https://n.example\n"},
      {"SiteWithoutAddress", "[site]\n# note\n[window]\nspeed=4\n",
       "[site]\naddress=https://n.example\n# note\n[window]\nspeed=4\n"},
      {"AddressesTwice", "[site]\naddress=http://a\nname=x\naddress=http://b\n",
       "[site]\naddress=https://n.example\nname=x\n"},
      {"WindowsLineEnds", "[Site]\r\nAddress=http://a\r\n",
       "[Site]\r\naddress=https://n.example\r\n"},
      {"OtherSectionsAddressStays", "[proxy]\naddress=http://p\n",
       "[proxy]\naddress=http://p\n\n[site]\naddress=https://n.example\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir folder;
    const std::string file = folder.File("config/kelvaro/settings.ini");
    if (c.before.has_value()) {
      std::filesystem::create_directories(folder.File("config/kelvaro"));
      folder.Write("config/kelvaro/settings.ini", *c.before);
    }
    std::string error;
    ASSERT_TRUE(SaveSettingsSiteAddress(file, "https://n.example", error)) << error;
    EXPECT_EQ(FileText(file), c.after);
    EXPECT_EQ(SettingsSiteAddress(file), "https://n.example");
  }
}

TEST(SiteSettingsTest, AFileThatCannotBeWrittenSaysWhy) {
  test::TempDir folder;
  const std::string blocker = folder.Write("config", "a file where the folder would be");
  std::string error;
  EXPECT_FALSE(SaveSettingsSiteAddress(blocker + "/kelvaro/settings.ini", "http://h", error));
  EXPECT_NE(error, "");
  EXPECT_EQ(FileText(blocker), "a file where the folder would be");
  EXPECT_FALSE(SaveSettingsSiteAddress("", "http://h", error));
}

TEST(SiteSettingsTest, AddressesAreCheckedBeforeTheyAreKept) {
  const struct {
    const char* address;
    AddressProblem problem;
  } cases[] = {
      {"http://std.example", AddressProblem::kNone},
      {"HTTPS://std.example:8443/", AddressProblem::kNone},
      {"http://127.0.0.1:8765", AddressProblem::kNone},
      {"http://[::1]:8080", AddressProblem::kNone},
      {"https://user:pw@std.example", AddressProblem::kNone},
      {"http://std.example/standards", AddressProblem::kNone},
      {"", AddressProblem::kEmpty},
      {"http://std example", AddressProblem::kCharacters},
      {"http://标准.cn", AddressProblem::kCharacters},
      {"http://std.example\x1B", AddressProblem::kCharacters},
      {"std.example", AddressProblem::kScheme},
      {"ftp://std.example", AddressProblem::kScheme},
      {"javascript:alert(1)", AddressProblem::kScheme},
      {"http://", AddressProblem::kHost},
      {"http:///path", AddressProblem::kHost},
      {"http://:80", AddressProblem::kHost},
      {"http://std_example!", AddressProblem::kHost},
      {"http://[]:80", AddressProblem::kHost},
      {"http://std.example:", AddressProblem::kPort},
      {"http://std.example:0", AddressProblem::kPort},
      {"http://std.example:65536", AddressProblem::kPort},
      {"http://std.example:80a", AddressProblem::kPort},
      {"http://std.example:99999999999", AddressProblem::kPort},
      {"http://std.example/s.jsp?keyword=", AddressProblem::kQuery},
      {"http://std.example#top", AddressProblem::kQuery},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckSiteAddress(c.address), c.problem) << c.address;
  }
}

}  // namespace
}  // namespace kelvaro
