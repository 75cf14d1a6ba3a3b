#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "DbTestUtil.h"
#include "common/DateUtils.h"
#include "platform/db/Aliases.h"
#include "platform/db/DemoDatabase.h"
#include "platform/db/Table.h"

namespace hy {
namespace {

using test::QuerySql;
using test::QueryValue;
using test::TempDir;
namespace fs = std::filesystem;

// Every stored value with its storage class, in key order.
std::vector<std::vector<std::string>> Dump(const std::string& file) {
  auto rows = QuerySql(file,
                       "SELECT OrderNo, typeof(SaleDate), quote(CustNo), quote(SaleDate),"
                       " quote(ShipDate), quote(EmpNo), quote(ShipVIA), quote(Terms),"
                       " quote(PaymentMethod), quote(ItemsTotal), quote(TaxRate),"
                       " quote(Freight), quote(AmountPaid) FROM orders ORDER BY OrderNo");
  auto customers = QuerySql(file,
                            "SELECT quote(CustNo), quote(Company), quote(City),"
                            " quote(Country), quote(TaxRate) FROM customer ORDER BY 1");
  rows.insert(rows.end(), customers.begin(), customers.end());
  return rows;
}

int Count(const std::string& file, const std::string& sql) {
  return std::stoi(QueryValue(file, sql));
}

TEST(DemoDatabase, SameDataOnEveryRunAndReplacedWhole) {
  TempDir dir;
  fs::path first = dir.Path() / "one", second = dir.Path() / "two" / "nested";
  WriteDemoDatabase(first.string());
  WriteDemoDatabase(second.string());  // creates missing folders
  auto dump = Dump((first / "orders.db").string());
  EXPECT_GT(dump.size(), 1000u);
  EXPECT_EQ(dump, Dump((second / "orders.db").string()));

  // Rewriting over an existing file leaves the same data and no stray files.
  { std::ofstream((first / "orders.db").string()) << "old contents"; }
  WriteDemoDatabase(first.string());
  EXPECT_EQ(dump, Dump((first / "orders.db").string()));
  int entries = 0;
  for (auto& e : fs::directory_iterator(first)) ++entries, (void)e;
  EXPECT_EQ(entries, 1);
}

TEST(DemoDatabase, FailureLeavesNothingHalfWritten) {
  TempDir dir;
  std::string blocker = dir.File("file");
  { std::ofstream(blocker) << "x"; }
  try {
    WriteDemoDatabase(blocker + "/sub");
    FAIL() << "expected an error";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(e.Message().find("Cannot create the folder '" + blocker + "/sub'"), std::string::npos)
        << e.Message();
  }

  // orders.db is a folder that cannot be replaced: the error names it, the
  // folder keeps its contents and the temporary file is gone.
  fs::create_directories(dir.Path() / "db" / "orders.db" / "keep");
  EXPECT_THROW(WriteDemoDatabase(dir.File("db")), EDatabaseError);
  EXPECT_TRUE(fs::is_directory(dir.Path() / "db" / "orders.db" / "keep"));
  int entries = 0;
  for (auto& e : fs::directory_iterator(dir.Path() / "db")) ++entries, (void)e;
  EXPECT_EQ(entries, 1);
}

TEST(DemoDatabase, ShapeSeenThroughSql) {
  TempDir dir;
  WriteDemoDatabase(dir.Path().string());
  std::string file = dir.File("orders.db");
  int orders = Count(file, "SELECT count(*) FROM orders");
  EXPECT_GE(orders, 1100);
  EXPECT_LE(orders, 1300);
  EXPECT_EQ(Count(file, "SELECT count(DISTINCT CustNo) FROM orders"), 54);
  EXPECT_EQ(Count(file, "SELECT count(DISTINCT substr(SaleDate, 1, 7)) FROM orders"), 49);
  EXPECT_EQ(QueryValue(file, "SELECT min(substr(SaleDate, 1, 7)) FROM orders"), "2004-01");
  EXPECT_EQ(QueryValue(file, "SELECT max(substr(SaleDate, 1, 7)) FROM orders"), "2008-01");
  EXPECT_EQ(QueryValue(file,
                       "SELECT group_concat(p, ',') FROM (SELECT DISTINCT"
                       " PaymentMethod AS p FROM orders ORDER BY p)"),
            "AmEx,COD,Cash,Check,Credit,MC,Visa");
  EXPECT_EQ(Count(file,
                  "SELECT count(*) FROM orders WHERE CustNo IS NULL OR SaleDate IS NULL"
                  " OR PaymentMethod IS NULL OR ItemsTotal IS NULL"),
            0);
  EXPECT_EQ(Count(file, "SELECT count(*) FROM orders WHERE ShipDate < SaleDate"), 0);
  // Amounts with cents and a few large orders.
  EXPECT_GT(Count(file, "SELECT count(*) FROM orders WHERE ItemsTotal <> round(ItemsTotal)"),
            orders / 2);
  EXPECT_GT(Count(file, "SELECT count(*) FROM orders WHERE ItemsTotal > 30000"), 10);
  EXPECT_EQ(Count(file, "SELECT count(*) FROM orders WHERE ItemsTotal <= 0"), 0);
  // Busy Novembers and Decembers, quiet summers.
  int holidays = Count(file,
                       "SELECT count(*) FROM orders WHERE substr(SaleDate, 6, 2)"
                       " IN ('11', '12')");
  int summers = Count(file,
                      "SELECT count(*) FROM orders WHERE substr(SaleDate, 6, 2)"
                      " IN ('06', '07', '08')");
  EXPECT_GT(holidays / 2.0, 2 * summers / 3.0);  // per month: more than twice as many
  // The customer table lists exactly the customers that order.
  EXPECT_EQ(Count(file, "SELECT count(*) FROM customer"), 54);
  EXPECT_EQ(Count(file,
                  "SELECT count(*) FROM orders WHERE CustNo NOT IN"
                  " (SELECT CustNo FROM customer)"),
            0);
}

TEST(DemoDatabase, ShapeSeenThroughTheTableDataset) {
  TempDir dir;
  WriteDemoDatabase(dir.Path().string());
  std::string file = dir.File("orders.db");
  SetAlias("DBDEMOS", dir.Path().string());
  TTable table;
  table.SetDatabaseName("DBDEMOS");
  table.SetTableName("orders.db");
  table.Open();
  ResetAliases();

  EXPECT_EQ(table.FieldByName("CustNo")->DataType(), ftInteger);
  EXPECT_EQ(table.FieldByName("SaleDate")->DataType(), ftDateTime);
  EXPECT_EQ(table.FieldByName("PaymentMethod")->DataType(), ftString);
  EXPECT_EQ(table.FieldByName("PaymentMethod")->Size(), 7);
  EXPECT_EQ(table.FieldByName("ItemsTotal")->DataType(), ftCurrency);

  std::set<int32_t> customers;
  std::set<std::pair<int, int>> months;
  std::set<std::string> payments;
  int64_t cents = 0;
  int rows = 0;
  TField* cust = table.FieldByName("CustNo");
  TField* sale = table.FieldByName("SaleDate");
  TField* pay = table.FieldByName("PaymentMethod");
  TField* total = table.FieldByName("ItemsTotal");
  for (table.First(); !table.Eof(); table.Next()) {
    customers.insert(cust->AsInteger());
    int y, m, d;
    DecodeDate(sale->Value().AsDate(), y, m, d);
    months.insert({y, m});
    payments.insert(pay->AsString());
    cents += total->Value().AsCurrency().raw / 100;
    ++rows;
  }
  EXPECT_EQ(customers.size(), 54u);
  EXPECT_EQ(months.size(), 49u);
  EXPECT_EQ(payments.size(), 7u);
  EXPECT_EQ(rows, Count(file, "SELECT count(*) FROM orders"));
  EXPECT_EQ(cents, std::stoll(QueryValue(
                       file, "SELECT sum(CAST(round(ItemsTotal * 100) AS INTEGER)) FROM orders")));

  TTable lookup;
  lookup.SetTableName(file + ":customer");
  lookup.Open();
  std::set<int32_t> listed;
  for (; !lookup.Eof(); lookup.Next()) listed.insert(lookup.FieldByName("CustNo")->AsInteger());
  EXPECT_EQ(listed, customers);
}

}  // namespace
}  // namespace hy
