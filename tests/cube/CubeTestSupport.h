// A store over an in-memory dataset, for tests of the bin table and the
// cell cache that build real cubes without a database file.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cube/HyBin.h"
#include "cube/HyProgress.h"
#include "cube/HyStore.h"
#include "cube/ScriptedProgress.h"
#include "platform/db/MemDataSet.h"

namespace hy::test {

class TestStore : public THyCustomStore {
public:
  using THyCustomStore::THyCustomStore;
  void NotifyDataSources(uint8_t event) override { events.push_back(event); }
  std::vector<uint8_t> events;
};

// Owns the dataset and the store; columns, rows and map items are added by
// the test, then Open() builds the cube.
class MemCube {
public:
  MemCube() {
    store.SetShowProgressDialog(false);
    store.SetDataSet(&data);
  }

  int Column(const std::string& name, TFieldType type, int size = 0) {
    return data.AddColumn(name, type, size);
  }
  void Row(std::initializer_list<Variant> values) { data.AppendRow(values); }

  THyMapItem& Item(const std::string& field, TDimFlags type, const std::string& name = "") {
    THyMapItem* item = store.DimensionMap().Add();
    item->SetName(name.empty() ? field + std::to_string(store.DimensionMap().Count()) : name);
    item->SetDimensionType(type);
    item->SetFieldName(field);
    return *item;
  }

  void Open() { store.SetActive(true); }

  // The message of the exception an open raises ("" when it succeeds).
  std::string OpenError() {
    try {
      store.SetActive(true);
    } catch (const Exception& e) {
      EXPECT_FALSE(store.Active());
      return e.Message();
    }
    return "";
  }

  TBinTable& Bins() { return *store.DataCache().BinTable(); }
  TDataCache& Cache() { return store.DataCache(); }

  // The value of column `column` in record `recNo` (Null for a Null one).
  Variant Value(int32_t recNo, int32_t column) {
    Bins().GoToRecord(recNo);
    return Bins().Fields()[column]->ValueOrNull();
  }
  std::string Text(int32_t recNo, int32_t column) {
    Bins().GoToRecord(recNo);
    return Bins().Fields()[column]->StringOrNull();
  }

  TMemDataSet data;
  TestStore store;
};

// While this object lives, builds report to `target`. The store owns and
// frees the progress it is given, so it gets a forwarder.
class UseProgress {
public:
  explicit UseProgress(TCubeProgress& target) {
    SetProgressFactory([&target](bool) { return std::make_unique<Forward>(target); });
  }
  ~UseProgress() { SetProgressFactory(nullptr); }
  UseProgress(const UseProgress&) = delete;
  UseProgress& operator=(const UseProgress&) = delete;

private:
  class Forward : public TCubeProgress {
  public:
    explicit Forward(TCubeProgress& target) : target_(target) {}
    void ProgressStage(const std::string& text, int32_t max) override {
      target_.ProgressStage(text, max);
    }
    void ProgressStatus(const std::string& text) override { target_.ProgressStatus(text); }
    void ProgressCount(int64_t n) override { target_.ProgressCount(n); }
    void ProgressStep() override { target_.ProgressStep(); }

  protected:
    void Execute(const TWork& work) override { work(*this); }

  private:
    TCubeProgress& target_;
  };
};

inline Variant Date(int y, int m, int d) { return Variant::Date(EncodeDate(y, m, d)); }

}  // namespace hy::test
