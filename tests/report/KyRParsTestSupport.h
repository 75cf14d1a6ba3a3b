// A report expression context over real SQLite tables: "sales" (the first
// dataset, captioned "Sales") and "regions", with variables the test sets.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "common/StrUtils.h"
#include "report/KyRDMan.h"
#include "report/KyRPars.h"
#include "support/TestDatabase.h"

namespace hy::test {

class ReportTables {
public:
  ReportTables() {
    db_.Exec(
        "CREATE TABLE sales (Region VARCHAR(10), Sold DATETIME, Amount REAL, Qty INTEGER, Paid BOOLEAN,"
        " Note BLOB, Price CURRENCY);"
        "INSERT INTO sales VALUES ('North', '2004-01-03', 10.5, 3, 1, NULL, 2.25),"
        " (NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
        " ('Süd', '2004-02-28 13:45:10', 20, -7, 0, x'00', 1);"
        "CREATE TABLE regions (Code VARCHAR(10), Label VARCHAR(20));"
        "INSERT INTO regions VALUES ('N', 'North side');");
    sales_ = db_.Table("sales", &owner_).release();
    sales_->SetName("SalesTable");
    regions_ = db_.Table("regions", &owner_).release();
    regions_->SetName("Regions");
    sales_->Open();
    regions_->Open();
    manager_ = new TKyRDataManager(&owner_);
    TKyRDataset* first = manager_->Datasets().Add();
    first->SetCaption("Sales");
    first->SetDataset(sales_);
    manager_->Datasets().Add()->SetDataset(regions_);
  }

  TTable& Sales() { return *sales_; }
  TKyRDataManager& Manager() { return *manager_; }
  void SetVariable(const std::string& name, Variant value, TFieldType type = ftString) {
    variables_[UpperCase(name)] = {type, std::move(value)};
  }

  TKyRExprContext Context() {
    return TKyRExprContext(manager_,
                           [this](const std::string& name, TFieldType& type, Variant& value) {
                             const auto found = variables_.find(UpperCase(name));
                             if (found == variables_.end()) return false;
                             type = found->second.first;
                             value = found->second.second;
                             return true;
                           });
  }

  Variant Calc(const std::string& text) { return CalculateKyRExpression(text, Context()); }
  // The database error's message, or "(no error)".
  std::string Error(const std::string& text) {
    try {
      Calc(text);
    } catch (const EDatabaseError& e) {
      return e.Message();
    }
    return "(no error)";
  }

private:
  TestDatabase db_{"report.db"};
  TComponent owner_;
  TTable* sales_ = nullptr;
  TTable* regions_ = nullptr;
  TKyRDataManager* manager_ = nullptr;
  std::map<std::string, std::pair<TFieldType, Variant>> variables_;
};

}  // namespace hy::test
