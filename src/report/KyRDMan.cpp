#include "report/KyRDMan.h"

#include <QLocale>
#include <array>
#include <mutex>

#include "report/KyRDManStrings.h"

namespace hy {
namespace {

constexpr int kFirstNumber = 1000;
constexpr int kNumberCount = 2000;

// Every language's texts indexed by number, built once from the lists.
using TStringIndex = std::array<std::array<const char*, kNumberCount>, kKyRLangCount>;

const TStringIndex& StringIndex() {
  static const TStringIndex index = [] {
    TStringIndex built{};
    for (int language = 0; language < kKyRLangCount; ++language) {
      const TKyRStringBlock block = KyRStringBlock(language);
      for (std::size_t i = 0; i < block.count; ++i) {
        const int slot = block.entries[i].number - kFirstNumber;
        if (slot >= 0 && slot < kNumberCount) built[language][slot] = block.entries[i].text;
      }
    }
    return built;
  }();
  return index;
}

const char* OwnText(int language, int k) {
  if (language < 0 || language >= kKyRLangCount) return nullptr;
  if (k < kFirstNumber || k >= kFirstNumber + kNumberCount) return nullptr;
  const char* text = StringIndex()[language][k - kFirstNumber];
  return text && *text ? text : nullptr;
}

std::mutex systemMutex;
bool systemKnown = false;
TKyRLangID systemLangID = lnEnglish;

}  // namespace

bool HasOwnString(int language, int k) { return OwnText(language, k) != nullptr; }

std::string LoadString(int language, int k) {
  if (const char* text = OwnText(language, k)) return text;
  if (const char* text = OwnText(lnEnglish, k)) return text;
  return {};
}

std::string CreatorCredit() {
  return LoadString(lnEnglish, kStrCreatorCredit) + " " +
         LoadString(lnEnglish, kStrCreatorCredit + 1);
}

TKyRLangID LangIDOfLocale(const QLocale& locale) {
  switch (locale.language()) {
    case QLocale::Russian: return lnRussian;
    case QLocale::Ukrainian: return lnUkrainian;
    case QLocale::German: return lnGerman;
    case QLocale::French: return lnFrench;
    case QLocale::Swedish: return lnSwedish;
    case QLocale::Czech: return lnCzech;
    default: return lnEnglish;  // Spanish too: its block is too thin to choose by itself
  }
}

TKyRLangID SystemLangID() {
  std::lock_guard lock(systemMutex);
  if (!systemKnown) {
    systemLangID = LangIDOfLocale(QLocale::system());
    systemKnown = true;
  }
  return systemLangID;
}

void SetSystemLocale(const QLocale& locale) {
  std::lock_guard lock(systemMutex);
  systemLangID = LangIDOfLocale(locale);
  systemKnown = true;
}

int TKyRLanguage::EffectiveLanguage() const {
  const int language = autoDetect_ ? SystemLangID() : languageID_;
  return language < 0 ? 0 : language > 127 ? 127 : language;
}

void TKyRLanguage::Assign(const TKyRLanguage& source) {
  autoDetect_ = source.autoDetect_;
  languageID_ = source.languageID_;
}

}  // namespace hy
