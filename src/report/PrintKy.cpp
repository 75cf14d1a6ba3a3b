#include "report/PrintKy.h"

#include <algorithm>
#include <cmath>

#include "common/DateUtils.h"
#include "common/ScopeGuard.h"
#include "common/StrUtils.h"
#include "report/KyProces.h"

namespace hy {

namespace {

TPreviewFunction& PreviewFunctionSlot() {
  static TPreviewFunction function;
  return function;
}

constexpr TFieldType kSystemVariableTypes[kSystemVariableCount] = {
    ftDate,    ftTime,    ftDateTime, ftString,  ftString,  ftString,  ftString, ftInteger,
    ftInteger, ftInteger, ftInteger,  ftInteger, ftInteger, ftInteger, ftInteger};

}  // namespace

void SetPreviewFunction(TPreviewFunction function) { PreviewFunctionSlot() = std::move(function); }
const TPreviewFunction& PreviewFunction() { return PreviewFunctionSlot(); }

std::string FormatNumbers(std::string_view format, std::initializer_list<int64_t> numbers) {
  std::string out;
  auto next = numbers.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 'd' &&
        next != numbers.end()) {
      out += std::to_string(*next++);
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

TKyPrintBaseComponent::TKyPrintBaseComponent(TComponent* owner)
    : TComponent(owner), silentProcess_(std::make_unique<TKySilentProcess>()) {}

TKyPrintBaseComponent::~TKyPrintBaseComponent() {
  Destroying();
  canvas_.reset();
}

void TKyPrintBaseComponent::SetPrinter(TPlatformPrinter* printer) {
  printer_ = printer;
  printerSetting_.SetPrinter(printer);
  savedPrinterSetting_.SetPrinter(printer);
}

TKyProcess& TKyPrintBaseComponent::Process() const {
  return process_ ? *process_ : *silentProcess_;
}

int32_t TKyPrintBaseComponent::BarCount() const {
  if (InPass2()) return passBarCount_;
  int32_t last = -1;
  for (const auto& p : pages_) last = std::max(last, p->BarIndex());
  return last + 1;
}

int32_t TKyPrintBaseComponent::PageCount() const {
  if (InPass2()) return passPageCount_;
  if (pages_.empty()) return 1;
  int32_t last = -1;
  for (const auto& p : pages_) last = std::max(last, p->PageIndex());
  return last + 1;
}

TPageInfo* TKyPrintBaseComponent::FindPage(int32_t pageIndex, int32_t barIndex) const {
  for (const auto& p : pages_)
    if (p->PageIndex() == pageIndex && p->BarIndex() == barIndex) return p.get();
  return nullptr;
}

void TKyPrintBaseComponent::BuildReport() {
  pageIndex_ = -1;
  barIndex_ = 0;
}

void TKyPrintBaseComponent::BeginDoc() {
  prepared_ = false;
  if (onBeginDoc_) onBeginDoc_(*this);
  // A build that failed may have left its last page open.
  canvas_.reset();
  pages_.clear();
}

void TKyPrintBaseComponent::EndDoc() {
  canvas_.reset();
  if (onEndDoc_) onEndDoc_(*this);
  prepared_ = true;
}

void TKyPrintBaseComponent::NewPage(bool newBar) {
  if (pageIndex_ >= 0 && onEndPage_) onEndPage_(*this, pageIndex_ + 1, barIndex_);
  if (newBar) {
    ++barIndex_;
    pageIndex_ = 0;
  } else {
    ++pageIndex_;
  }

  if (animatedStatus_) {
    const int lang = language_.EffectiveLanguage();
    std::string prefix;
    if (twoPass_) prefix = LoadString(lang, InPass2() ? kStrSecondPass : kStrFirstPass);
    const int32_t position = InPass2() ? PageCount() * barIndex_ + pageIndex_ : 0;
    Process().UpdateProcess(prefix + FormatNumbers(LoadString(lang, kStrPreparingPage),
                                                   {pageIndex_ + 1, barIndex_ + 1}),
                            position);
  }

  auto page = std::make_unique<TPageInfo>(pageIndex_, barIndex_);
  page->SetWidth(printerSetting_.PaperSizeWidth());
  page->SetHeight(printerSetting_.PaperSizeHeight());
  page->SetMargins(printerSetting_.LeftMargin(), printerSetting_.RightMargin(),
                   printerSetting_.TopMargin(), printerSetting_.BottomMargin());
  TPageInfo& info = *page;
  pages_.push_back(std::move(page));

  currentY_ = info.TopMargin();
  bodyBottom_ = info.Height() - info.BottomMargin();

  canvas_.reset();
  canvas_ = std::make_unique<TMetafileCanvas>(info.Picture(), productCaption_, kPictureDescription);
  frame_.Draw(*canvas_, {info.LeftMargin(), info.TopMargin(), info.Width() - info.RightMargin(),
                         info.Height() - info.BottomMargin()});

  if (onBeginPage_) onBeginPage_(*this, pageIndex_ + 1, barIndex_);
}

Variant TKyPrintBaseComponent::SystemVariable(int index, bool& assigned) {
  assigned = true;
  switch (index) {
    case 0: return Variant(static_cast<int32_t>(std::floor(Now())));
    case 1: return Variant(static_cast<double>(TimeOf(Now())));
    case 2: return Variant::Date(Now());
    case 3: return Variant(kyProperty_.Author());
    case 4: return Variant(kyProperty_.Title());
    case 5: return Variant(kyProperty_.Subject());
    case 6: return Variant(kyProperty_.Keywords());
    case 7: return Variant(GetPageNumberStep() * (pageIndex_ + 1) + GetPageNumberOffset());
    case 8: return Variant(PageCount());
    case 9: return Variant(barIndex_ + 1);
    case 10: return Variant(BarCount());
    case 11: return Variant(GetColumnIndex() + 1);
    case 12: return Variant(GetColumnCount());
    case 13: return Variant(int32_t(-1));
    default: assigned = false; return {};  // BandLineNo keeps the value it had
  }
}

void TKyPrintBaseComponent::GetVariable(const std::string& variableName, bool& accept,
                                        TFieldType& variableType, Variant& value) {
  const std::string name = UpperCase(Trim(variableName));
  bool found = false;
  for (int i = 0; i < kSystemVariableCount && !found; ++i) {
    if (UpperCase(LoadString(lnEnglish, kStrSysVarFirst + i)) != name) continue;
    found = true;
    accept = true;
    variableType = kSystemVariableTypes[i];
    bool assigned = false;
    Variant v = SystemVariable(i, assigned);
    if (assigned) value = std::move(v);
  }
  Variant user;
  if (!found && FindUserVariable(name, user)) {
    accept = true;
    variableType = ftString;
    value = user.IsNull() ? Variant(std::string()) : std::move(user);
  }
  if (onGetVariable_) onGetVariable_(*this, variableName, accept, variableType, value);
}

bool TKyPrintBaseComponent::FindUserVariable(const std::string& upperName, Variant& value) {
  const TKyRVariable* variable = variables_.Find(upperName);
  if (!variable) return false;
  value = variable->CurValue();
  return true;
}

void TKyPrintBaseComponent::BeginPass(int32_t maxPosition) {
  if (!animatedStatus_) return;
  const int lang = language_.EffectiveLanguage();
  const std::string caption = kyProperty_.Title().empty() ? productCaption_ : kyProperty_.Title();
  Process().ShowProcess(lang, caption, LoadString(lang, kStrPreparing), 100, maxPosition, 0,
                        LoadString(lang, kStrCancel));
}

void TKyPrintBaseComponent::Prepare() {
  TKyProcess& process = Process();
  pass_ = 1;
  process.BeginBusy();
  bool applied = false;
  auto restore = ScopeExit([&] {
    if (applied) savedPrinterSetting_.ApplyToPrinter();
    if (animatedStatus_) process.HideProcess();
    process.EndBusy();
  });
  BeginPass(0);
  // The printer's own state is saved once: a second pass must not take the
  // settings just applied for the ones to put back.
  savedPrinterSetting_.ReadFromPrinter();
  printerSetting_.ApplyToPrinter();
  applied = true;

  if (animatedStatus_) process.RunInProcess([this] { BuildReport(); });
  else BuildReport();

  // A cancelled first pass ends the work: the user asked to stop.
  if (twoPass_ && !process.ProcessCancelled()) {
    passBarCount_ = BarCount();
    passPageCount_ = PageCount();
    pass_ = 2;
    BeginPass(static_cast<int32_t>(pages_.size()));
    BuildReport();
  }
}

void TKyPrintBaseComponent::LoadPages(std::vector<std::unique_ptr<TPageInfo>> pages) {
  canvas_.reset();
  pages_ = std::move(pages);
  prepared_ = true;
  pageIndex_ = 0;
  barIndex_ = 0;
  pass_ = 1;
}

void TKyPrintBaseComponent::ShowPreview(bool doPrepare, QWidget* parentControl) {
  if (doPrepare) Prepare();
  if (!prepared_) return;
  if (onBeforePreview_) onBeforePreview_(*this);
  if (onPreview_) onPreview_(*this);
  else if (PreviewFunction()) PreviewFunction()(*this, parentControl);
  if (onAfterPreview_) onAfterPreview_(*this);
}

}  // namespace hy
