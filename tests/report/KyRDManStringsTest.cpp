#include <gtest/gtest.h>

#include <QLocale>
#include <QString>
#include <set>

#include "report/KyRDMan.h"
#include "report/KyRDManStrings.h"

namespace hy {
namespace {

// Names and product identification: the same in every language.
bool IsLanguageNeutral(int k) {
  return (k >= 1030 && k <= 1044) || k == 1081 || k == 2064 || k == 2065 ||
         (k >= 2068 && k <= 2073);
}

std::set<int> Numbers(int language) {
  std::set<int> numbers;
  const TKyRStringBlock block = KyRStringBlock(language);
  for (std::size_t i = 0; i < block.count; ++i) numbers.insert(block.entries[i].number);
  return numbers;
}

// The user-visible numbers that `language` leaves to English.
std::set<int> Missing(int language) {
  std::set<int> missing;
  for (int k : Numbers(lnEnglish))
    if (!IsLanguageNeutral(k) && !HasOwnString(language, k)) missing.insert(k);
  return missing;
}

std::string Conversions(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '%') out += text[++i];
  return out;
}

std::string Edges(const std::string& text) {
  return std::string(text.empty() || text.front() != ' ' ? "" : "<") +
         (text.empty() || text.back() != ' ' ? "" : ">");
}

TEST(LoadString, FallsBackToEnglishWhereALanguageHasNoText) {
  EXPECT_EQ(LoadString(lnGerman, kStrPageNo), "Seite ");
  EXPECT_FALSE(HasOwnString(lnGerman, kStrSheet));
  EXPECT_EQ(LoadString(lnGerman, kStrSheet), "Sheet");
  EXPECT_EQ(LoadString(lnSpanish, kStrSheet), "Hoja");
  EXPECT_FALSE(HasOwnString(lnSpanish, kStrPaperFirst + 11));
  EXPECT_EQ(LoadString(lnSpanish, kStrPaperFirst + 11), "A4 210 x 297 mm");
  EXPECT_EQ(LoadString(lnSpanish, kStrAllFiles), "All files (*.*)|*.*");
  // A language without a block of its own is English throughout.
  EXPECT_EQ(LoadString(42, kStrCancel), "&Cancel");
  EXPECT_EQ(LoadString(-1, kStrCancel), "&Cancel");
}

TEST(LoadString, IsEmptyWhereEnglishHasNoText) {
  EXPECT_EQ(LoadString(lnEnglish, 1500), "");
  EXPECT_EQ(LoadString(lnRussian, 1500), "");
  EXPECT_EQ(LoadString(lnRussian, 999), "");
  EXPECT_EQ(LoadString(lnRussian, 3000), "");
  EXPECT_EQ(LoadString(lnEnglish, -7), "");
}

TEST(StringTable, BlocksAreWellFormed) {
  for (int language = 0; language < kKyRLangCount; ++language) {
    const TKyRStringBlock block = KyRStringBlock(language);
    std::set<int> seen;
    for (std::size_t i = 0; i < block.count; ++i) {
      const TKyRStringEntry& e = block.entries[i];
      SCOPED_TRACE(testing::Message() << "language " << language << ", string " << e.number);
      EXPECT_TRUE(seen.insert(e.number).second) << "listed twice";
      EXPECT_GE(e.number, 1000);
      EXPECT_LE(e.number, 2999);
      ASSERT_NE(e.text, nullptr);
      const std::string text = e.text;
      EXPECT_FALSE(text.empty());
      EXPECT_EQ(QString::fromUtf8(text.c_str()).toUtf8().toStdString(), text) << "not UTF-8";
      // A translation of a number English lacks would never be reached by
      // a fallback and is a misnumbering.
      EXPECT_TRUE(HasOwnString(lnEnglish, e.number));
    }
  }
}

TEST(StringTable, TranslationsKeepFormatsBlanksAcceleratorsAndSeparators) {
  for (int language = 1; language < kKyRLangCount; ++language) {
    for (int k : Numbers(language)) {
      SCOPED_TRACE(testing::Message() << "language " << language << ", string " << k);
      const std::string english = LoadString(lnEnglish, k);
      const std::string own = LoadString(language, k);
      EXPECT_EQ(Conversions(own), Conversions(english));
      // "page #" runs into the number; a word needs the blank instead.
      if (k != kStrPageNo) {
        EXPECT_EQ(Edges(own), Edges(english));
      }
      EXPECT_EQ(own.find('&') != std::string::npos, english.find('&') != std::string::npos);
      EXPECT_EQ(std::count(own.begin(), own.end(), '|'),
                std::count(english.begin(), english.end(), '|'));
    }
  }
}

TEST(StringTable, EveryVisibleTextIsTranslatedExceptTheKnownHoles) {
  for (int language : {lnRussian, lnUkrainian, lnFrench, lnSwedish, lnCzech})
    EXPECT_EQ(Missing(language), std::set<int>{}) << "language " << language;
  EXPECT_EQ(Missing(lnGerman), std::set<int>{kStrSheet});
  // Spanish covers the preview window, the find dialog and the progress
  // texts only.
  const std::set<int> spanish = Missing(lnSpanish);
  EXPECT_TRUE(spanish.count(kStrPaperFirst));
  EXPECT_TRUE(spanish.count(kStrSetupFirst));
  EXPECT_TRUE(spanish.count(kStrFilterFirst));
  EXPECT_FALSE(spanish.count(kStrPreviewCaption));
  EXPECT_FALSE(spanish.count(kStrPreparing));
}

TEST(StringTable, ProductIdentificationIsTheSameInEveryLanguage) {
  for (int language = 1; language < kKyRLangCount; ++language)
    for (int k = 1000; k < 3000; ++k) {
      if (IsLanguageNeutral(k)) {
        EXPECT_FALSE(HasOwnString(language, k)) << language << " " << k;
      }
    }
  const std::string credit = CreatorCredit();
  EXPECT_EQ(credit, LoadString(lnCzech, kStrCreatorCredit) + " " +
                        LoadString(lnRussian, kStrCreatorCredit + 1));
  EXPECT_NE(credit.find("HyCube"), std::string::npos);
}

class LanguageTest : public testing::Test {
protected:
  void TearDown() override { SetSystemLocale(QLocale::system()); }
};

TEST_F(LanguageTest, AutoDetectFollowsTheLocaleButNeverChoosesSpanish) {
  TKyRLanguage language;
  language.SetLanguageID(lnSpanish);
  EXPECT_EQ(language.EffectiveLanguage(), lnSpanish);
  language.SetAutoDetect(true);

  SetSystemLocale(QLocale("es_ES"));
  EXPECT_EQ(language.EffectiveLanguage(), lnEnglish);
  SetSystemLocale(QLocale("ru_RU"));
  EXPECT_EQ(language.EffectiveLanguage(), lnRussian);
  EXPECT_EQ(LoadString(language.EffectiveLanguage(), kStrSheet), "Лист");

  language.SetAutoDetect(false);
  EXPECT_EQ(language.EffectiveLanguage(), lnSpanish);
}

TEST_F(LanguageTest, PrimaryLanguageSelectsTheBlockWhateverTheCountry) {
  EXPECT_EQ(LangIDOfLocale(QLocale("uk_UA")), lnUkrainian);
  EXPECT_EQ(LangIDOfLocale(QLocale("de_AT")), lnGerman);
  EXPECT_EQ(LangIDOfLocale(QLocale("fr_CA")), lnFrench);
  EXPECT_EQ(LangIDOfLocale(QLocale("sv_FI")), lnSwedish);
  EXPECT_EQ(LangIDOfLocale(QLocale("cs_CZ")), lnCzech);
  EXPECT_EQ(LangIDOfLocale(QLocale("es_MX")), lnEnglish);
  EXPECT_EQ(LangIDOfLocale(QLocale("pt_BR")), lnEnglish);
  EXPECT_EQ(LangIDOfLocale(QLocale::c()), lnEnglish);
}

TEST_F(LanguageTest, AssignCopiesBothSettings) {
  TKyRLanguage source;
  source.SetAutoDetect(true);
  source.SetLanguageID(lnCzech);
  TKyRLanguage target;
  target.Assign(source);
  EXPECT_TRUE(target.AutoDetect());
  EXPECT_EQ(target.LanguageID(), lnCzech);
}

}  // namespace
}  // namespace hy
