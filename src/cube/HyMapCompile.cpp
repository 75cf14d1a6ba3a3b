// Compiling derived summaries: the expression language's part of resolving
// a map. Every message goes to the store's log; any error fails the open
// with the whole log text.
#include <map>

#include "common/StrUtils.h"
#include "cube/HyExprParse.h"
#include "cube/HyMap.h"
#include "cube/HyStore.h"

namespace hy {

namespace {

using TReferences = std::map<const TDimensionItem*, std::vector<TExprParser::TReference>>;

// Whether `target` is reached from `from` through the references of
// derived items.
bool Reaches(const TReferences& refs, const TDimensionItem* from, const TDimensionItem* target,
             std::vector<const TDimensionItem*>& seen) {
  if (from == target) return true;
  for (const TDimensionItem* s : seen)
    if (s == from) return false;
  seen.push_back(from);
  auto it = refs.find(from);
  if (it == refs.end()) return false;
  for (const auto& ref : it->second)
    if (Reaches(refs, ref.Item, target, seen)) return true;
  return false;
}

}  // namespace

void THyMap::CompileExpressions() {
  THyLog& log = store_->Log();
  log.Clear();

  TScope scope;
  scope.Use(SystemUnit());
  TExprParser parser(*store_);
  parser.SetScope(&scope);

  const std::vector<std::string>& externals = store_->Externals();
  for (size_t i = 0; i < externals.size(); ++i) {
    const std::string name = Trim(externals[i]);
    if (name.empty()) continue;  // keeps the numbering of the lines after it
    parser.SetName(name);
    parser.Declare(
        std::make_unique<TProcSymbol>(Dictionary().Lookup(name).Name, static_cast<int32_t>(i) + 1));
  }
  for (auto& item : items_) {
    item->SetExpression(nullptr);
    item->SetSymbol(nullptr);
    if (item->Name().empty()) continue;
    auto symbol = std::make_unique<TDimSymbol>(Dictionary().Lookup(item->Name()).Name, item.get());
    TDimSymbol& bound = *symbol;
    item->SetSymbol(std::move(symbol));
    parser.SetName(item->Name());
    parser.Declare(bound);
  }

  TReferences refs;
  for (auto& item : items_) {
    if (item->DimensionType() != dimDerived) continue;
    parser.SetName(item->Name());
    parser.SetText(item->SumExpr());
    item->SetExpression(parser.ParseExpression());
    refs[item.get()] = parser.References();
  }

  // A derived summary that depends on itself could be neither planned nor
  // evaluated (both would recurse without end).
  for (auto& item : items_) {
    auto it = refs.find(item.get());
    if (it == refs.end()) continue;
    for (const auto& ref : it->second) {
      std::vector<const TDimensionItem*> seen;
      if (!Reaches(refs, ref.Item, item.get(), seen)) continue;
      log.ErrorFmt("%s[%d]: Circular reference through '%s'", item->Name().c_str(), ref.Line,
                   ref.Item->Name().c_str());
      break;
    }
  }

  if (log.ErrorCount() > 0) {
    for (auto& item : items_) {
      item->SetExpression(nullptr);
      item->SetSymbol(nullptr);
    }
    throw EHyMapError(log.Text());
  }
}

}  // namespace hy
