// Every code the reader knows, in every form, built from the same published lists it reads
// (citation/codes.h): what is checked is that each code is read in each form, and that the
// forms which mark no standard stay unread for the codes they should.
#include "citation/codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "citation/citation.h"
#include "support/named_case.h"

namespace kelvaro {
namespace {

KELVARO_PRINT_CASES_BY_NAME()

std::string Utf8(const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); }

struct FormCase {
  std::string name;
  std::string text;
  std::vector<std::string> numbers;
};

std::vector<std::string> NumbersIn(const std::string& text) {
  std::vector<std::string> numbers;
  for (const Citation& c : FindCitations(text)) numbers.push_back(c.number);
  return numbers;
}

class FormTest : public ::testing::TestWithParam<FormCase> {};

TEST_P(FormTest, ReadsTheseNumbers) { EXPECT_EQ(NumbersIn(GetParam().text), GetParam().numbers); }

// "GB/T" -> "GB_T": test names hold letters, digits and underscores.
std::string Id(std::string text) {
  std::ranges::replace(text, '/', '_');
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

using Numbers = std::vector<std::string>;

const std::string kTitle = Utf8(u8"《标题》");
const std::string kCiting = Utf8(u8"应符合");
const std::string kCited = Utf8(u8"的规定");
const std::string kProseBefore = Utf8(u8"其中");
const std::string kProseAfter = Utf8(u8"所列");
const std::string kListComma = Utf8(u8"、");

// A code as it stands without a slash's letter: with a year in the ways it is written, and
// without one where a title, a list or a citing word says it is a citation. In running text
// without any of them only the codes that are no industry's count.
void AddBareForms(const KnownCode& code, std::vector<FormCase>& cases) {
  const std::string c(code.name);
  const std::string id = Id(c);
  const bool anywhere = code.family != CodeFamily::kIndustry;
  const auto add = [&](std::string form, std::string text, Numbers numbers) {
    cases.push_back({id + "_" + form, std::move(text), std::move(numbers)});
  };
  add("Dated", c + " 1234-2015", {c + " 1234-2015"});
  add("Glued", c + "1234-2015", {c + " 1234-2015"});
  add("ColonYear", c + " 1234:2015", {c + " 1234:2015"});
  add("SpaceForTheDash", c + " 1234 2015", {c + " 1234-2015"});
  add("LowerCase", Lower(c) + " 1234-2015", {c + " 1234-2015"});
  add("LetterSerial", c + " D60-2015", {c + " D60-2015"});
  add("BesideATitle", kTitle + c + " 1234", {c + " 1234"});
  add("InAList", c + " 1234" + kListComma + c + " 5678", {c + " 1234", c + " 5678"});
  add("CitingWord", kCiting + c + " 1234" + kCited, {c + " 1234"});
  add("RunningText", kProseBefore + c + " 1234" + kProseAfter,
      anywhere ? Numbers{c + " 1234"} : Numbers{});
  add("LetterSerialRunningText", kProseBefore + c + " D60" + kProseAfter,
      anywhere ? Numbers{c + " D60"} : Numbers{});
}

// A code with a slash's letter: /T, /Z (GJB/J too), written as they are written; the letter
// marks a standard, so it counts without a year in running text too.
void AddSuffixForms(const KnownCode& code, char suffix, std::vector<FormCase>& cases) {
  const std::string c = std::string(code.name) + '/' + suffix;
  const std::string id = Id(c);
  const auto add = [&](std::string form, std::string text, Numbers numbers) {
    cases.push_back({id + "_" + form, std::move(text), std::move(numbers)});
  };
  add("DottedSerial", c + " 1234.2-2015", {c + " 1234.2-2015"});
  add("SpacesAroundTheSlash", std::string(code.name) + " / " + suffix + " 1234-2015",
      {c + " 1234-2015"});
  add("LowerCase", Lower(c) + " 1234-2015", {c + " 1234-2015"});
  add("RunningText", kProseBefore + c + " 1234" + kProseAfter, {c + " 1234"});
  add("InAList", c + " 1234" + kListComma + c + " 5678", {c + " 1234", c + " 5678"});
  // "DB T 1234" is no earthquake standard's: after DB a space leads to a province.
  if (code.name != "DB") {
    add("SpacesForSlashAndDash", std::string(code.name) + ' ' + suffix + " 1234 2015",
        {c + " 1234-2015"});
  }
  if (suffix == 'T') {
    add("SlashWrittenAsT", std::string(code.name) + "T1234-2015", {c + " 1234-2015"});
  }
}

std::vector<FormCase> KnownCodeCases() {
  std::vector<FormCase> cases;
  for (const KnownCode& code : KnownCodes()) {
    // Bare, DB is a local standard's start: DB11, DB 44/.
    if (code.name != "DB") AddBareForms(code, cases);
    for (char suffix : code.suffixes) AddSuffixForms(code, suffix, cases);
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(KnownCodes, FormTest, ::testing::ValuesIn(KnownCodeCases()),
                         test::CaseName());

// Every province's number, its cities' and its engineering standards'; and every two-digit
// number that is none.
std::vector<FormCase> LocalCases() {
  std::vector<FormCase> cases;
  for (std::string_view province : ProvinceNumbers()) {
    const std::string p(province);
    const auto add = [&](std::string form, std::string text, Numbers numbers) {
      cases.push_back({"DB" + p + "_" + form, std::move(text), std::move(numbers)});
    };
    add("Recommended", "DB" + p + "/T 1234-2015", {"DB" + p + "/T 1234-2015"});
    add("Mandatory", "DB" + p + "/ 123-2015", {"DB" + p + "/ 123-2015"});
    add("Spaced", "DB " + p + "/123-2015", {"DB" + p + "/ 123-2015"});
    add("NoSlashNoSpace", "DB" + p + " 1-2020", {"DB" + p + "/ 1-2020"});
    add("City", "DB" + p + "01/T 12.3-2024", {"DB" + p + "01/T 12.3-2024"});
    add("CityMandatory", "DB" + p + "05/ 7-2024", {"DB" + p + "05/ 7-2024"});
    add("Engineering", "DBJ" + p + "/T 1234-2015", {"DBJ" + p + "/T 1234-2015"});
    add("WithoutAYear", kProseBefore + "DB" + p + "/T 1234" + kProseAfter, {"DB" + p + "/T 1234"});
    add("CityWithoutItsSlash", "DB" + p + "01 1-2020", {});
    add("CityZero", "DB" + p + "00/T 1-2020", {});
  }
  for (int n = 10; n <= 99; ++n) {
    const std::string p = std::to_string(n);
    if (std::ranges::binary_search(ProvinceNumbers(), std::string_view(p))) continue;
    cases.push_back({"NoProvince" + p, "DB" + p + "/T 1234-2015 DB" + p + "01/T 1-2015", {}});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Local, FormTest, ::testing::ValuesIn(LocalCases()), test::CaseName());

// A group's code (T/) and an enterprise's (Q/): capitals, or capitals and digits, two to ten;
// an enterprise's number without a year only beside a title or in a list.
INSTANTIATE_TEST_SUITE_P(
    GroupAndEnterprise, FormTest,
    ::testing::Values(
        FormCase{"Group", "T/CSEE 0001-2016", {"T/CSEE 0001-2016"}},
        FormCase{"GroupWithDigits", "T/ZS1 23-2020", {"T/ZS1 23-2020"}},
        FormCase{"GroupOfTenLetters", "T/ABCDEFGHIJ 1-2020", {"T/ABCDEFGHIJ 1-2020"}},
        FormCase{"GroupOfElevenLetters", "T/ABCDEFGHIJK 1-2020", {}},
        FormCase{"GroupWithoutAYear", kProseBefore + "T/CECS 1034" + kProseAfter, {"T/CECS 1034"}},
        FormCase{"Enterprise", "Q/GDW 1168-2013", {"Q/GDW 1168-2013"}},
        FormCase{"EnterpriseDotted", "Q/GDW 10248.1-2016", {"Q/GDW 10248.1-2016"}},
        FormCase{"EnterpriseWithDigits", "Q/SH1 0123-2019", {"Q/SH1 0123-2019"}},
        FormCase{"EnterpriseOfDigitsAlone", "Q/3201 001-2019", {}},
        FormCase{"EnterpriseOfOneLetter", "Q/C 001-2019", {}},
        FormCase{"EnterpriseBesideATitle",
                 Utf8(u8"《电力设备预防性试验规程》Q/GDW 1168"),
                 {"Q/GDW 1168"}},
        FormCase{"EnterpriseInAList",
                 "Q/GDW 1168" + kListComma + "Q/CSG 1202001",
                 {"Q/GDW 1168", "Q/CSG 1202001"}},
        FormCase{"EnterpriseInRunningText", kProseBefore + "Q/GDW 1168" + kProseAfter, {}}),
    test::CaseName());

// The families and forms that need more than a code: letter serials, two-letter and long
// ones, older codes' two-digit years, and earthquakes' DB/T.
INSTANTIATE_TEST_SUITE_P(
    Families, FormTest,
    ::testing::Values(
        FormCase{"SpecialEquipmentLetterSerial", "TSG D0001-2009", {"TSG D0001-2009"}},
        FormCase{"SpecialEquipmentTwoLetters", "TSG ZF001-2006", {"TSG ZF001-2006"}},
        FormCase{"SpecialEquipmentTIsASerialLetter", "TSG T7001-2009", {"TSG T7001-2009"}},
        FormCase{"SpecialEquipmentWithoutAYear",
                 kProseBefore + "TSG D0001" + kProseAfter,
                 {"TSG D0001"}},
        FormCase{"JusticeLongLetterSerial", "SF/Z JD0101002-2015", {"SF/Z JD0101002-2015"}},
        FormCase{"EnergyDotted", "NB/T 10096.2-2018", {"NB/T 10096.2-2018"}},
        FormCase{"MachineryWithEnglishTitle",
                 "JB/T 4730 Nondestructive testing of pressure equipment",
                 {"JB/T 4730"}},
        FormCase{"EarthquakeRecommended", "DB/T 15-2009", {"DB/T 15-2009"}},
        FormCase{"EarthquakeGlued", "DBT15-2009", {"DB/T 15-2009"}},
        FormCase{"EarthquakeBareIsNoStandard", "DB 15-2009 DBB25-2010", {}},
        FormCase{"OlderSpaceForTheDash", "GBJ 16 87", {"GBJ 16-87"}},
        FormCase{"OlderSpaceBeforeAYearOfThisCentury", "GBJ 16 07", {}},
        FormCase{"OthersNeedTheDashBeforeTwoDigits", "GB 16 87 JGJ 16 87", {}},
        FormCase{"SpaceBeforeFourDigitsAfterTwo", "TSG 21 2016", {"TSG 21-2016"}},
        FormCase{"JiangsuEngineering",
                 "DGJ32/J 16-2014 DGJ32/TJ 103-2010",
                 {"DGJ32/J 16-2014", "DGJ32/TJ 103-2010"}},
        FormCase{"ShanghaiOlderEngineering", "DGJ08-9-2013", {"DGJ 08-9-2013"}},
        FormCase{"HardnessIsNoCitation", Utf8(u8"硬度HB 200的要求，HS 60的规定"), {}},
        FormCase{"AviationCited", Utf8(u8"应符合HB 5800的规定"), {"HB 5800"}}),
    test::CaseName());

TEST(KnownCodes, FindsACodeByItsName) {
  ASSERT_NE(FindKnownCode("NB"), nullptr);
  EXPECT_EQ(FindKnownCode("NB")->family, CodeFamily::kIndustry);
  EXPECT_EQ(FindKnownCode("NB")->suffixes, "TZ");
  ASSERT_NE(FindKnownCode("TSG"), nullptr);
  EXPECT_EQ(FindKnownCode("TSG")->family, CodeFamily::kSpecialEquipment);
  ASSERT_NE(FindKnownCode("GBJ"), nullptr);
  EXPECT_EQ(FindKnownCode("GBJ")->family, CodeFamily::kOlder);
  EXPECT_EQ(FindKnownCode("GJB")->suffixes, "ZJ");
  EXPECT_EQ(FindKnownCode("GBT"), nullptr);
  EXPECT_EQ(FindKnownCode("nb"), nullptr);
  EXPECT_EQ(FindKnownCode(""), nullptr);
}

}  // namespace
}  // namespace kelvaro
