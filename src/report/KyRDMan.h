// The report library's strings in eight languages, the language selector each
// report component carries, the data manager with its dataset list, the page
// range parser and the small text helpers of the export filters.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Component.h"

class QLocale;

namespace hy {

class TDataSet;

enum TKyRLangID {
  lnEnglish = 0,
  lnRussian,
  lnUkrainian,
  lnGerman,
  lnFrench,
  lnSpanish,
  lnSwedish,
  lnCzech
};
constexpr int kKyRLangCount = 8;

// Library string numbers used across the report half. A text is always
// fetched through LoadString; these only name the numbers.
constexpr int kStrSysVarFirst = 1030;  // "Date" .. "BandLineNo" (15 names)
constexpr int kStrAboutCaption = 1080;
constexpr int kStrAboutProduct = 1081;
constexpr int kStrAboutText = 1082;
constexpr int kStrOK = 1103;      // "&OK"
constexpr int kStrCancel = 1104;  // "&Cancel"
constexpr int kStrFile = 1202;    // "File"
constexpr int kStrPreviewCaption = 1800;
constexpr int kStrPreviewHintFirst = 1801;  // 1801..1823
constexpr int kStrPageNo = 1828;            // "page #"
constexpr int kStrOf = 1830;                // "of "
constexpr int kStrSheet = 1831;             // "Sheet"
constexpr int kStrFindFirst = 1840;         // find dialog: 1840..1849
constexpr int kStrOpenReport = 1853;
constexpr int kStrPaperFirst = 1950;     // paper names: 1950 "Default size" .. 1980
constexpr int kStrBinFirst = 2000;       // paper sources: 2000 "By Default" .. 2014
constexpr int kStrPreparingPage = 2051;  // "Preparing %d page on the %dst bar..."
constexpr int kStrPrintingPage = 2052;   // "Printing %d page on the %dst bar (copy #%d)..."
constexpr int kStrPrinting = 2053;       // "Printing..."
constexpr int kStrPreparing = 2054;      // "Preparing..."
constexpr int kStrSavePage = 2055;
constexpr int kStrAllFiles = 2056;        // "All files (*.*)|*.*"
constexpr int kStrProductName = 2064;     // "HyCube"
constexpr int kStrProductCaption = 2065;  // "HyCube Report"
constexpr int kStrFirstPass = 2066;
constexpr int kStrSecondPass = 2067;
constexpr int kStrCreatorCredit = 2068;  // creator credit of generated files: 2068 + 2069
constexpr int kStrVersion = 2070;
constexpr int kStrCopyright = 2071;
constexpr int kStrExporting = 2074;      // "Exporting..."
constexpr int kStrExportingPage = 2075;  // "Exporting %d page on the %dst bar..."
constexpr int kStrPropertyMissing = 2076;
constexpr int kStrSetupFirst = 2150;   // setup dialog: 2150..2164
constexpr int kStrFilterFirst = 2170;  // export filter names / file filters: 2170..2195

// Text (UTF-8) of library string `k` in `language`: the English text when
// the language has none, empty when English has none either. Numbers outside
// 1000..2999 and languages without a block give the English text or "".
std::string LoadString(int language, int k);

// Whether `language` has its own text for `k` (no fallback).
bool HasOwnString(int language, int k);

// The credit that generated documents (XML, RTF, PDF) carry: the same text
// whatever the report's language.
std::string CreatorCredit();

// The string table's language for a locale: Russian, Ukrainian, German,
// French, Swedish and Czech select their block; every other language,
// Spanish included, gives English.
TKyRLangID LangIDOfLocale(const QLocale& locale);

// The language chosen for the user's locale, read once from Qt's system
// locale at first use. SetSystemLocale replaces it (tests, a command-line
// override).
TKyRLangID SystemLangID();
void SetSystemLocale(const QLocale& locale);

class TKyRLanguage {
public:
  bool AutoDetect() const { return autoDetect_; }
  void SetAutoDetect(bool value) { autoDetect_ = value; }
  TKyRLangID LanguageID() const { return languageID_; }
  void SetLanguageID(TKyRLangID value) { languageID_ = value; }
  // The language every caller passes to LoadString.
  int EffectiveLanguage() const;
  void Assign(const TKyRLanguage& source);

private:
  bool autoDetect_ = false;
  TKyRLangID languageID_ = lnEnglish;
};

class TKyRDataManager;
class TKyRDatasets;

class TKyRDataset {
public:
  TDataSet* Dataset() const { return dataset_; }
  // A dataset set while Caption is empty names the caption; none empties it.
  void SetDataset(TDataSet* value);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  // Caption, then Dataset, inside one update of the collection.
  void Assign(const TKyRDataset& source);
  TKyRDatasets& Collection() const { return *collection_; }
  int Index() const;

private:
  friend class TKyRDatasets;
  explicit TKyRDataset(TKyRDatasets* collection) : collection_(collection) {}

  TKyRDatasets* collection_;
  TDataSet* dataset_ = nullptr;
  std::string caption_;
};

class TKyRDatasets {
public:
  TKyRDatasets(const TKyRDatasets&) = delete;
  TKyRDatasets& operator=(const TKyRDatasets&) = delete;
  ~TKyRDatasets();

  TKyRDataManager& Owner() const { return *owner_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError for an index out of range.
  TKyRDataset* Items(int index) const;
  TKyRDataset* Add();
  void Clear();

  // Changes between BeginUpdate and the matching EndUpdate are reported once.
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }
  void SetOnChange(std::function<void()> handler) { onChange_ = std::move(handler); }

private:
  friend class TKyRDataManager;
  friend class TKyRDataset;
  explicit TKyRDatasets(TKyRDataManager* owner) : owner_(owner) {}
  void Changed();
  bool Refers(const TDataSet* dataset) const;

  TKyRDataManager* owner_;
  std::vector<std::unique_ptr<TKyRDataset>> items_;
  int updateCount_ = 0;
  bool pendingChange_ = false;
  std::function<void()> onChange_;
};

class TKyRDataManager : public TComponent {
public:
  explicit TKyRDataManager(TComponent* owner = nullptr);
  ~TKyRDataManager() override;

  TKyRDatasets& Datasets() { return datasets_; }
  const TKyRDatasets& Datasets() const { return datasets_; }

  // Lists `main` first (when given), then every dataset owned by `root` in
  // component order; the datasets owned by `main` stand where `main` does.
  void CollectDatasets(TDataSet* main, TComponent* root);

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  friend class TKyRDataset;
  TKyRDatasets datasets_{this};
};

// Page numbers of a text such as "1,3,5-12", ascending, each once, as
// decimal text. Anything but digits and "-" separates numbers.
void ParsePageRange(const std::string& text, std::vector<std::string>& list);
// Largest page number the parser keeps; a larger one is taken as this.
constexpr int kMaxPageNumber = 999999;

// `text` right-aligned in `width` characters (blanks in front); a longer
// text is returned as it is.
std::string PadLeft(const std::string& text, int width);
// `text` with "0" put in front up to `width` characters.
std::string PadZeros(const std::string& text, int width);
// `text` with the characters that HTML and XML reserve (and a few symbols)
// written as entities.
std::string HtmlEscape(const std::string& text);

}  // namespace hy
