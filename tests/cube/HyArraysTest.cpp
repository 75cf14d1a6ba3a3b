#include "cube/HyArrays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/StrUtils.h"

namespace hy {
namespace {

template <class E, class F>
void ExpectThrowMessage(F&& f, const std::string& message) {
  try {
    f();
    ADD_FAILURE() << "expected exception: " << message;
  } catch (const E& e) {
    EXPECT_EQ(e.Message(), message);
  }
}

std::vector<int32_t> Contents(const TIntArray& a) {
  std::vector<int32_t> v;
  for (int32_t i = 0; i < a.Count(); ++i) v.push_back(a.Items(i));
  return v;
}

std::vector<std::string> Contents(const TStringArray& a) {
  std::vector<std::string> v;
  for (int32_t i = 0; i < a.Count(); ++i) v.push_back(a.Items(i));
  return v;
}

// Restores the measured budget when a test ends, also on failure.
struct BudgetGuard {
  int64_t previous;
  explicit BudgetGuard(int64_t bytes) : previous(SetTestMemoryBudget(bytes)) {}
  ~BudgetGuard() { SetTestMemoryBudget(previous); }
};

TEST(HyArrays, CapacityGrowsInSteps) {
  TIntArray a;
  EXPECT_EQ(a.Capacity(), 0);
  EXPECT_EQ(a.Memory(), nullptr);
  std::vector<int32_t> steps;
  for (int32_t i = 0; i < 200; ++i) {
    a.AddItem(i);
    if (steps.empty() || steps.back() != a.Capacity()) steps.push_back(a.Capacity());
  }
  EXPECT_EQ(steps, (std::vector<int32_t>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147, 183, 228}));
  EXPECT_EQ(a.ElementSize(), 4);

  TStringArray s(10);  // initial capacity is taken as given
  EXPECT_EQ(s.Capacity(), 10);
  for (int i = 0; i < 11; ++i) s.AddItem(std::string(1, static_cast<char>('a' + i)));
  EXPECT_EQ(s.Capacity(), 26);
}

TEST(HyArrays, CapacityAndCountLimits) {
  TIntArray a;
  for (int32_t v : {5, 1, 3}) a.AddItem(v);
  ExpectThrowMessage<EArrayError>([&] { a.SetCapacity(2); }, "Array index out of range : 2");
  ExpectThrowMessage<EArrayError>([&] { a.SetCapacity(134217728); },
                                  "Array index out of range : 134217728");
  ExpectThrowMessage<EArrayError>([&] { a.SetCount(-1); }, "Array index out of range : -1");
  ExpectThrowMessage<EArrayError>([&] { a.SetCount(134217728); },
                                  "Array index out of range : 134217728");
  ExpectThrowMessage<EArrayError>([&] { a.Delete(3); }, "Array index out of range : 3");
  ExpectThrowMessage<EArrayError>([&] { a.Items(-1); }, "Array index out of range : -1");
  EXPECT_EQ(Contents(a), (std::vector<int32_t>{1, 3, 5}));

  // Growing the count zero-fills, also slots that held deleted elements.
  a.SetCount(2);
  a.SetCount(6);
  EXPECT_EQ(a.Capacity(), 6);
  EXPECT_EQ(Contents(a), (std::vector<int32_t>{1, 3, 0, 0, 0, 0}));

  a.Clear();
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.Capacity(), 0);
}

TEST(HyArrays, BlanksByOrderAndPolicy) {
  TIntArray asc;
  asc.AddItem(7);
  asc.AddItem(3);
  EXPECT_EQ(asc.Add(Variant::Null()), 0);
  EXPECT_EQ(asc.Add(Variant::Null()), 0);
  EXPECT_EQ(asc.BlankCount(), 1);  // dpIgnore keeps one blank
  EXPECT_EQ(asc.TotalCount(), 3);
  EXPECT_TRUE(asc.AsVariant(0).IsNull());
  EXPECT_EQ(asc.AsVariant(1).AsInteger(), 3);
  EXPECT_EQ(asc.AsVariant(2).AsInteger(), 7);
  int32_t index = -1;
  EXPECT_TRUE(asc.Find(Variant::Null(), index));
  EXPECT_EQ(index, 0);
  EXPECT_TRUE(asc.Find(Variant(7), index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(asc.Find(Variant(5), index));
  EXPECT_EQ(index, 2);

  TIntArray desc;
  desc.SetSortOrder(saDescending);
  desc.SetDuplicates(dpAccept);
  desc.AddItem(3);
  desc.AddItem(7);
  EXPECT_EQ(desc.AddBlank(), 2);
  EXPECT_EQ(desc.AddBlank(), 2);
  EXPECT_EQ(desc.BlankCount(), 2);
  EXPECT_EQ(desc.AsVariant(0).AsInteger(), 7);
  EXPECT_TRUE(desc.AsVariant(2).IsNull());
  EXPECT_TRUE(desc.AsVariant(3).IsNull());
  EXPECT_TRUE(desc.Find(Variant(3), index));
  EXPECT_EQ(index, 1);
  EXPECT_TRUE(desc.Find(Variant::Null(), index));
  EXPECT_EQ(index, 2);
  ExpectThrowMessage<EArrayError>([&] { desc.AsVariant(4); }, "Array index out of range : 4");

  TIntArray strict;
  strict.SetDuplicates(dpError);
  strict.AddBlank();
  ExpectThrowMessage<EArrayError>([&] { strict.AddBlank(); }, "Duplicate item in array");
  EXPECT_EQ(strict.BlankCount(), 1);

  // A refused blank is not counted.
  TIntArray unsorted;
  unsorted.SetSortOrder(saUnsorted);
  unsorted.AddItem(1);
  ExpectThrowMessage<EArrayError>([&] { unsorted.AddBlank(); },
                                  "Unsorted arrays don't support blank values");
  EXPECT_EQ(unsorted.BlankCount(), 0);
  EXPECT_EQ(unsorted.AsVariant(0).AsInteger(), 1);
}

TEST(HyArrays, DuplicatePolicies) {
  TIntArray ignore;
  EXPECT_EQ(ignore.AddItem(5), 0);
  EXPECT_EQ(ignore.AddItem(9), 1);
  EXPECT_EQ(ignore.AddItem(5), 0);
  EXPECT_EQ(ignore.Count(), 2);

  TIntArray accept;
  accept.SetDuplicates(dpAccept);
  for (int32_t v : {5, 5, 9, 1}) accept.AddItem(v);
  EXPECT_EQ(accept.AddItem(5), 1);  // before the equal run
  EXPECT_EQ(Contents(accept), (std::vector<int32_t>{1, 5, 5, 5, 9}));
  int32_t index = -1;
  EXPECT_TRUE(accept.FindValue(5, index));
  EXPECT_EQ(index, 1);

  TIntArray error;
  error.SetDuplicates(dpError);
  error.AddItem(5);
  ExpectThrowMessage<EArrayError>([&] { error.AddItem(5); }, "Duplicate item in array");
  EXPECT_EQ(error.Count(), 1);

  TStringArray strings;
  strings.SetDuplicates(dpError);
  strings.Add(Variant("x"));
  ExpectThrowMessage<EArrayError>([&] { strings.Add(Variant("x")); },
                                  "String list does not allow duplicates.");

  TIntArray unsorted;
  unsorted.SetSortOrder(saUnsorted);
  unsorted.SetDuplicates(dpError);  // not consulted when appending
  EXPECT_EQ(unsorted.AddItem(4), 0);
  EXPECT_EQ(unsorted.AddItem(4), 1);
  EXPECT_EQ(unsorted.AddItem(2), 2);
  ExpectThrowMessage<Exception>([&] { unsorted.FindValue(4, index); }, "Find in unsorted array");
}

TEST(HyArrays, BudgetRefusalLeavesArrayUnchanged) {
  TIntArray a(1000);
  a.SetDuplicates(dpAccept);
  for (int32_t i = 0; i < 1000; ++i) a.AddItem(i % 97);
  const std::vector<int32_t> before = Contents(a);
  const void* memory = a.Memory();
  TIntArray small(4);

  {
    BudgetGuard guard(ProcessAllocatedBytes() + 1000);
    ExpectThrowMessage<ELowCapacityError>(
        [&] { a.AddItem(50); },
        "The DecisionCube Capacity is low. Please deactivate dimensions or change the data set.");
    EXPECT_THROW(a.SetCapacity(2000), ELowCapacityError);
    EXPECT_THROW(a.SetCount(1001), ELowCapacityError);
    EXPECT_EQ(a.Count(), 1000);
    EXPECT_EQ(a.Capacity(), 1000);
    EXPECT_EQ(a.Memory(), memory);
    EXPECT_EQ(Contents(a), before);

    // Shrinking never asks the budget.
    EXPECT_NO_THROW(small.Clear());
  }
  EXPECT_NO_THROW(a.AddItem(50));
  EXPECT_EQ(a.Capacity(), 1250);
  EXPECT_GT(ArrayMemoryBudget(), 0);
}

TEST(HyArrays, AssignFollowsTheTargetsOrder) {
  TIntArray src;
  src.SetDuplicates(dpAccept);
  for (int32_t v : {4, 1, 4, 9}) src.AddItem(v);
  src.AddBlank();

  TIntArray desc;
  desc.SetSortOrder(saDescending);
  desc.AddItem(100);
  desc.Assign(src);
  EXPECT_EQ(Contents(desc), (std::vector<int32_t>{9, 4, 1}));  // dpIgnore drops the copy
  EXPECT_EQ(desc.BlankCount(), 1);
  EXPECT_TRUE(desc.AsVariant(3).IsNull());

  TIntArray unsorted;
  unsorted.SetSortOrder(saUnsorted);
  src.Clear();
  for (int32_t v : {4, 1, 9}) src.AddItem(v);
  src.SetSortOrder(saUnsorted);
  src.AddItem(2);
  unsorted.Assign(src);
  EXPECT_EQ(Contents(unsorted), (std::vector<int32_t>{1, 4, 9, 2}));

  // A duplicate refused half way keeps the old contents.
  TIntArray strict;
  strict.SetDuplicates(dpError);
  strict.AddItem(42);
  src.AddItem(4);
  EXPECT_THROW(strict.Assign(src), EArrayError);
  EXPECT_EQ(Contents(strict), (std::vector<int32_t>{42}));

  TStringArray strings;
  ExpectThrowMessage<EConvertError>([&] { strings.Assign(src); },
                                    "Cannot assign a TIntArray to a TStringArray");
  strict.Assign(strict);
  EXPECT_EQ(Contents(strict), (std::vector<int32_t>{42}));
}

TEST(HyArrays, StringArraySharesAndReleasesReferences) {
  auto src = std::make_unique<TStringArray>();
  for (const char* s : {"pear", "Apple", "apple", "", "fig"}) src->AddItem(s);
  EXPECT_EQ(Contents(*src), (std::vector<std::string>{"", "apple", "Apple", "fig", "pear"}));

  TStringArray copy;
  copy.SetSortOrder(saDescending);
  copy.Assign(*src);
  EXPECT_EQ(Contents(copy), (std::vector<std::string>{"pear", "fig", "Apple", "apple", ""}));
  EXPECT_EQ(copy.Data()[0]->refs, 2);
  src.reset();
  EXPECT_EQ(copy.Data()[0]->refs, 1);
  EXPECT_EQ(copy.Items(0), "pear");

  copy.Delete(0);
  copy.SetItems(0, "kiwi");
  copy.SetCount(2);
  EXPECT_EQ(Contents(copy), (std::vector<std::string>{"kiwi", "Apple"}));
  copy.SetCount(3);
  EXPECT_EQ(copy.Items(2), "");

  try {
    copy.Sort();
    ADD_FAILURE() << "string arrays cannot be sorted";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message().rfind("Assertion failure", 0), 0u);
    EXPECT_EQ(e.Unit(), "HyArrays");
  }
}

// Find and GetAsVariant through the Variant interface of every element class.
template <class A>
void CheckVariantRoundTrip(const std::vector<Variant>& ascendingValues, TVarType outType) {
  for (TSortOrder order : {saAscending, saDescending}) {
    A a;
    a.SetSortOrder(order);
    for (auto it = ascendingValues.rbegin(); it != ascendingValues.rend(); ++it) a.Add(*it);
    ASSERT_EQ(a.Count(), static_cast<int32_t>(ascendingValues.size())) << a.ClassName();
    for (size_t i = 0; i < ascendingValues.size(); ++i) {
      int32_t index = -1;
      EXPECT_TRUE(a.Find(ascendingValues[i], index)) << a.ClassName();
      const int32_t expected =
          order == saAscending ? static_cast<int32_t>(i) : a.Count() - 1 - static_cast<int32_t>(i);
      EXPECT_EQ(index, expected) << a.ClassName();
      const Variant back = a.AsVariant(index);
      EXPECT_EQ(back.VarType(), outType) << a.ClassName();
      EXPECT_EQ(VarCompare(back, ascendingValues[i]), crEqual) << a.ClassName();
    }
  }
}

TEST(HyArrays, FindOnEveryElementType) {
  CheckVariantRoundTrip<TSmallIntArray>({Variant(-32768), Variant(-1), Variant(32767)},
                                        varSmallint);
  CheckVariantRoundTrip<TWordArray>({Variant(0), Variant(1), Variant(65535)}, varInteger);
  CheckVariantRoundTrip<TIntArray>({Variant(INT32_MIN), Variant(0), Variant(INT32_MAX)},
                                   varInteger);
  CheckVariantRoundTrip<TInt64Array>({Variant(INT64_MIN), Variant(int64_t{1} << 40)}, varInt64);
  CheckVariantRoundTrip<TSingleArray>({Variant(-1.5), Variant(0.25), Variant(1048576.5)},
                                      varDouble);
  CheckVariantRoundTrip<TDoubleArray>({Variant(-1e300), Variant(0.1), Variant(0.1000000001)},
                                      varDouble);
  CheckVariantRoundTrip<TCurrencyArray>(
      {Variant(Currency::FromRaw(-1)), Variant(Currency::FromRaw(0)),
       Variant(Currency::FromInt(7))},
      varCurrency);
  CheckVariantRoundTrip<TStringArray>({Variant("a"), Variant("B"), Variant("b2")}, varString);

  TSmallIntArray small;
  EXPECT_THROW(small.Add(Variant(40000)), EVariantError);
  EXPECT_EQ(small.Count(), 0);
  TWordArray words;
  words.Add(Variant(true));
  words.Add(Variant(false));
  EXPECT_EQ(words.Items(0), 0);
  EXPECT_EQ(words.Items(1), 0xFFFF);

  TDoubleArray empty;
  int32_t index = -1;
  EXPECT_FALSE(empty.Find(Variant(1.0), index));
  EXPECT_EQ(index, 0);
}

struct Rec {
  int key;
  int tag;
};

int32_t CompareRec(const void* item, const void* key) {
  return static_cast<const Rec*>(item)->key - static_cast<const Rec*>(key)->key;
}

// Searches only by tag, to see that insertion goes through the override.
class TTagIndex : public TPointerArray {
public:
  bool FindItem(int32_t& index, const void* key) const override {
    const int tag = static_cast<const Rec*>(key)->tag;
    int32_t lo = 0;
    while (lo < Count() && static_cast<const Rec*>(Items(lo))->tag < tag) ++lo;
    index = lo;
    return lo < Count() && static_cast<const Rec*>(Items(lo))->tag == tag;
  }
};

TEST(HyArrays, PointerArraysCompareThroughFunctionOrOverride) {
  std::vector<Rec> recs{{5, 0}, {1, 1}, {3, 2}, {1, 3}};
  TPointerArray a;
  a.SetCompare(CompareRec);
  for (Rec& r : recs) a.AddItem(&r);
  ASSERT_EQ(a.Count(), 3);  // the second key 1 is ignored
  EXPECT_EQ(a.Items(0), &recs[1]);
  EXPECT_EQ(a.ElementSize(), static_cast<int32_t>(sizeof(void*)));
  Rec probe{3, -1};
  int32_t index = -1;
  EXPECT_TRUE(a.FindItem(index, &probe));
  EXPECT_EQ(index, 1);
  EXPECT_THROW(a.Add(Variant(1)), EAssertionFailed);

  // Appended unsorted, then sorted once: equal keys keep their order.
  TPointerArray bulk;
  bulk.SetCompare(CompareRec);
  bulk.SetSortOrder(saUnsorted);
  for (Rec& r : recs) bulk.AddItem(&r);
  bulk.SetSortOrder(saAscending);
  bulk.Sort();
  EXPECT_EQ(bulk.Items(0), &recs[1]);
  EXPECT_EQ(bulk.Items(1), &recs[3]);
  EXPECT_EQ(bulk.Items(3), &recs[0]);

  TTagIndex byTag;
  for (int i = 3; i >= 0; --i) byTag.AddItem(&recs[i]);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(byTag.Items(i), &recs[i]);
}

TEST(HyArrays, CustomArrayPicksClassByType) {
  const std::vector<std::pair<TVarType, std::string>> kinds{
      {varSmallint, "TSmallIntArray"}, {varInteger, "TIntArray"},  {varSingle, "TSingleArray"},
      {varDouble, "TDoubleArray"},     {varDate, "TDoubleArray"},  {varCurrency, "TCurrencyArray"},
      {varBoolean, "TWordArray"},      {varString, "TStringArray"}};
  for (const auto& [type, name] : kinds) EXPECT_EQ(TCustomArray(0, type).Items().ClassName(), name);

  const std::vector<std::pair<uint16_t, std::string>> refused{
      {0, "Empty"},      {1, "Null"},       {8, "OleStr"},         {9, "Dispatch"},
      {10, "Error"},     {12, "Variant"},   {17, "Byte"},          {0x0FFF, "TypeMask"},
      {0x2000, "Array"}, {0x4000, "ByRef"}, {varInt64, "Unknown"}, {13, "Unknown"}};
  for (const auto& [code, name] : refused)
    ExpectThrowMessage<EUnsupportedTypeError>(
        [code = code] { TCustomArray(0, static_cast<TVarType>(code)); },
        "Unsupported data type : " + name);

  TCustomArray src(4, varInteger), dst(0, varInteger);
  for (int v : {2, 8, 2, 5}) src.Items().Add(Variant(v));
  dst.SetExtraCount(3);
  dst.Items().SetDuplicates(dpAccept);
  dst.Assign(src, true, true);
  EXPECT_EQ(dst.Items().SortOrder(), saDescending);
  EXPECT_EQ(dst.Items().Duplicates(), dpIgnore);
  EXPECT_EQ(Contents(static_cast<TIntArray&>(dst.Items())), (std::vector<int32_t>{8, 5, 2}));
  dst.Clear();
  EXPECT_EQ(dst.ExtraCount(), 0);
  EXPECT_EQ(dst.Items().Count(), 0);
}

// Random adds, deletes and finds against std::multiset as the oracle.
template <class A, class T, class Less>
void RunOracle(TSortOrder order, TDuplicates dups, std::vector<T> pool, Less less, unsigned seed) {
  std::mt19937 rng(seed);
  A a;
  a.SetSortOrder(order);
  a.SetDuplicates(dups);
  auto before = [&](const T& x, const T& y) {
    return order == saAscending ? less(x, y) : less(y, x);
  };
  std::multiset<T, decltype(before)> oracle(before);
  for (int step = 0; step < 3000; ++step) {
    const T& v = pool[rng() % pool.size()];
    if (rng() % 5 == 0 && a.Count() > 0) {
      const int32_t i = static_cast<int32_t>(rng() % a.Count());
      oracle.erase(std::next(oracle.begin(), i));
      a.Delete(i);
      continue;
    }
    const int32_t expectedPos =
        static_cast<int32_t>(std::distance(oracle.begin(), oracle.lower_bound(v)));
    const bool present = oracle.count(v) > 0;
    int32_t found = -1;
    ASSERT_EQ(a.Search(v, found), present);
    ASSERT_EQ(found, expectedPos);
    ASSERT_EQ(a.AddItem(v), expectedPos);
    if (dups == dpAccept || !present) oracle.insert(v);
    ASSERT_EQ(a.Count(), static_cast<int32_t>(oracle.size()));
  }
  int32_t i = 0;
  for (const T& v : oracle) {
    const T stored = a.Items(i++);
    ASSERT_FALSE(less(stored, v) || less(v, stored));
  }
}

TEST(HyArrays, RandomizedAgainstOrderedSet) {
  std::vector<int32_t> ints;
  for (int i = -200; i < 200; ++i) ints.push_back(i * 7);
  std::vector<std::string> words;
  for (int i = 0; i < 300; ++i) {
    std::string w = std::to_string(i * 31 % 997);
    if (i % 3 == 0) w = "Ab" + w;
    if (i % 3 == 1) w = "ab" + w;
    words.push_back(w);
  }
  auto strLess = [](const std::string& x, const std::string& y) {
    return AnsiCompareStr(x, y) < 0;
  };
  unsigned seed = 1;
  for (TSortOrder order : {saAscending, saDescending})
    for (TDuplicates dups : {dpIgnore, dpAccept}) {
      RunOracle<TIntArray>(order, dups, ints, std::less<int32_t>(), seed++);
      RunOracle<TStringArray>(order, dups, words, strLess, seed++);
    }
}

}  // namespace
}  // namespace hy
