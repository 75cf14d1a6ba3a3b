#include "platform/db/DemoDatabase.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "common/DateUtils.h"
#include "common/StrUtils.h"
#include "platform/db/DataSet.h"

namespace hy {

namespace fs = std::filesystem;

namespace {

// splitmix64: fixed seed, the same sequence on every platform.
class Random {
public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
  int64_t Between64(int64_t lo, int64_t hi) {
    return lo + static_cast<int64_t>(Next() % static_cast<uint64_t>(hi - lo + 1));
  }

private:
  uint64_t state_;
};

int Weighted(Random& rnd, const std::vector<int>& weights) {
  int total = 0;
  for (int w : weights) total += w;
  int r = rnd.Below(total);
  for (size_t i = 0; i < weights.size(); ++i) {
    if (r < weights[i]) return static_cast<int>(i);
    r -= weights[i];
  }
  return static_cast<int>(weights.size()) - 1;
}

constexpr int kCustomers = 54;
constexpr int kFirstYear = 2004;
constexpr int kMonths = 49;  // January 2004 .. January 2008
constexpr int kBasePerMonth = 24;
// Orders per month relative to an average month, per mille: slow summers,
// busy November and December.
constexpr std::array<int, 12> kSeason = {900, 850, 1000, 1000, 900,  700,
                                         600, 650, 950,  1050, 1500, 1800};

const std::array<const char*, 7> kPayments = {"Credit", "Check", "Visa", "MC",
                                              "AmEx",   "Cash",  "COD"};
const std::vector<int> kPaymentWeights = {28, 22, 15, 12, 10, 8, 5};
const std::array<const char*, 5> kShipVia = {"UPS", "DHL", "FedEx", "US Mail", "Emery"};
const std::array<const char*, 6> kTerms = {"Net 30", "Net 30", "Net 30", "Net 60", "FOB", "Prepay"};
const std::array<int, 21> kEmployees = {2,  4,  5,  8,  9,  11, 12, 14, 15, 20, 24,
                                        28, 29, 34, 36, 37, 38, 44, 45, 46, 52};
const std::array<int, 7> kTaxBasisPoints = {0, 0, 450, 500, 625, 700, 825};
const std::array<const char*, 12> kAdjectives = {"Blue",    "Coral",  "Deep",   "Sunny",
                                                 "North",   "Harbor", "Reef",   "Island",
                                                 "Pacific", "Lagoon", "Golden", "Silver"};
const std::array<const char*, 9> kNouns = {"Dive Shop",  "Divers",     "Aquatics",
                                           "Sports",     "Outfitters", "Supply",
                                           "Adventures", "Marine",     "Scuba Center"};
const std::array<std::pair<const char*, const char*>, 12> kPlaces = {{
    {"Honolulu", "US"},
    {"Miami", "US"},
    {"San Diego", "US"},
    {"Kapaa", "US"},
    {"Nassau", "Bahamas"},
    {"Tampa", "US"},
    {"Freeport", "Bahamas"},
    {"Key West", "US"},
    {"Belize City", "Belize"},
    {"Bridgetown", "Barbados"},
    {"Hamilton", "Bermuda"},
    {"Christiansted", "US Virgin Islands"},
}};

struct Customer {
  int custNo;
  int weight;
  int taxBp;  // tax rate in hundredths of a percent
  std::string company, city, country;
};

struct Order {
  int64_t when;  // minutes since 1 January 2004, for sorting
  int seq;
  int year, month, day, hour, minute;
  int customer;
  int payment;
  int64_t itemsCents;
};

std::string IsoDateTime(int y, int m, int d, int h, int n) {
  return Format("%04d-%02d-%02d %02d:%02d:00", y, m, d, h, n);
}

std::vector<Customer> MakeCustomers(Random& rnd) {
  std::vector<Customer> list;
  int custNo = 1221;
  for (int i = 0; i < kCustomers; ++i) {
    Customer c;
    c.custNo = custNo;
    custNo += 10 + rnd.Below(170);
    c.weight = 1 + rnd.Below(9) + (i % 11 == 0 ? 24 : 0);  // a few key accounts
    c.taxBp = kTaxBasisPoints[rnd.Below(static_cast<int>(kTaxBasisPoints.size()))];
    // (i mod 12, (i div 12 + i) mod 9) never repeats for 54 customers.
    c.company = std::string(kAdjectives[i % 12]) + " " + kNouns[(i / 12 + i) % 9];
    const auto& place = kPlaces[rnd.Below(static_cast<int>(kPlaces.size()))];
    c.city = place.first;
    c.country = place.second;
    list.push_back(std::move(c));
  }
  return list;
}

std::vector<Order> MakeOrders(Random& rnd, const std::vector<Customer>& customers) {
  std::vector<int> weights;
  for (const Customer& c : customers) weights.push_back(c.weight);
  std::vector<Order> orders;
  for (int m = 0; m < kMonths; ++m) {
    int year = kFirstYear + m / 12, month = m % 12 + 1, yearNo = m / 12;
    int count =
        kBasePerMonth * kSeason[month - 1] * (1000 + 50 * yearNo) / 1000000 + rnd.Between(-2, 2);
    count = std::max(count, 3);
    size_t first = orders.size();
    for (int k = 0; k < count; ++k) {
      Order o{};
      o.seq = static_cast<int>(orders.size());
      o.year = year;
      o.month = month;
      o.day = rnd.Between(1, DaysInMonth(year, month));
      o.hour = rnd.Between(8, 17);
      o.minute = rnd.Below(60);
      o.when = ((static_cast<int64_t>(m) * 31 + o.day) * 24 + o.hour) * 60 + o.minute;
      o.customer = Weighted(rnd, weights);
      o.payment = Weighted(rnd, kPaymentWeights);
      int bucket = rnd.Below(100);
      if (bucket < 35) o.itemsCents = rnd.Between64(2000, 50000);
      else if (bucket < 80) o.itemsCents = rnd.Between64(50000, 500000);
      else if (bucket < 97) o.itemsCents = rnd.Between64(500000, 3000000);
      else o.itemsCents = rnd.Between64(3000000, 12000000);
      orders.push_back(o);
    }
    std::sort(orders.begin() + static_cast<std::ptrdiff_t>(first), orders.end(),
              [](const Order& a, const Order& b) {
                return a.when != b.when ? a.when < b.when : a.seq < b.seq;
              });
  }
  // Every customer and every payment method occurs: give each one an order
  // picked by a partial shuffle.
  std::vector<int> pick(orders.size());
  for (size_t i = 0; i < pick.size(); ++i) pick[i] = static_cast<int>(i);
  const int forced = kCustomers + static_cast<int>(kPayments.size());
  for (int i = 0; i < forced; ++i) {
    int j = i + rnd.Below(static_cast<int>(pick.size()) - i);
    std::swap(pick[i], pick[j]);
  }
  for (int i = 0; i < kCustomers; ++i) orders[pick[i]].customer = i;
  for (int i = 0; i < static_cast<int>(kPayments.size()); ++i)
    orders[pick[kCustomers + i]].payment = i;
  return orders;
}

class Writer {
public:
  explicit Writer(const std::string& file) : file_(file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
      std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close_v2(db_);
      throw EDatabaseError(
          Format("Cannot write the demo database '%s': %s", file.c_str(), message.c_str()));
    }
  }
  ~Writer() {
    for (sqlite3_stmt* s : statements_) sqlite3_finalize(s);
    sqlite3_close_v2(db_);
  }
  void Exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail();
  }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) Fail();
    statements_.push_back(s);
    return s;
  }
  void Run(sqlite3_stmt* s) {
    if (sqlite3_step(s) != SQLITE_DONE) Fail();
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
  }
  void Close() {
    for (sqlite3_stmt* s : statements_) sqlite3_finalize(s);
    statements_.clear();
    if (sqlite3_close(db_) != SQLITE_OK) Fail();
    db_ = nullptr;
  }
  [[noreturn]] void Fail() {
    throw EDatabaseError(Format("Cannot write the demo database '%s': %s", file_.c_str(),
                                db_ ? sqlite3_errmsg(db_) : "out of memory"));
  }

private:
  std::string file_;
  sqlite3* db_ = nullptr;
  std::vector<sqlite3_stmt*> statements_;
};

void BindText(sqlite3_stmt* s, int i, const std::string& text) {
  sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void BindMoney(sqlite3_stmt* s, int i, int64_t cents) {
  sqlite3_bind_double(s, i, static_cast<double>(cents) / 100.0);
}

void Fill(Writer& w) {
  Random rnd(0x4879437562654442ull);
  std::vector<Customer> customers = MakeCustomers(rnd);
  std::vector<Order> orders = MakeOrders(rnd, customers);

  w.Exec("PRAGMA journal_mode = OFF");
  w.Exec("PRAGMA synchronous = OFF");
  w.Exec(
      "CREATE TABLE orders ("
      "OrderNo INTEGER PRIMARY KEY, CustNo INTEGER NOT NULL, SaleDate DATETIME NOT NULL, "
      "ShipDate DATETIME, EmpNo INTEGER, ShipVIA VARCHAR(7), Terms VARCHAR(6), "
      "PaymentMethod VARCHAR(7) NOT NULL, ItemsTotal CURRENCY NOT NULL, TaxRate FLOAT, "
      "Freight CURRENCY, AmountPaid CURRENCY)");
  w.Exec(
      "CREATE TABLE customer (CustNo INTEGER PRIMARY KEY, Company VARCHAR(30) NOT NULL, "
      "City VARCHAR(15), Country VARCHAR(20), TaxRate FLOAT)");
  w.Exec("BEGIN");
  sqlite3_stmt* addCustomer = w.Prepare("INSERT INTO customer VALUES (?1, ?2, ?3, ?4, ?5)");
  for (const Customer& c : customers) {
    sqlite3_bind_int(addCustomer, 1, c.custNo);
    BindText(addCustomer, 2, c.company);
    BindText(addCustomer, 3, c.city);
    BindText(addCustomer, 4, c.country);
    sqlite3_bind_double(addCustomer, 5, c.taxBp / 100.0);
    w.Run(addCustomer);
  }

  sqlite3_stmt* addOrder =
      w.Prepare("INSERT INTO orders VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
  // Orders of the last ten days are still open: not shipped, not paid.
  const TDateTime openFrom =
      EncodeDate(kFirstYear + (kMonths - 1) / 12, (kMonths - 1) % 12 + 1, 22);
  int orderNo = 1001;
  for (const Order& o : orders) {
    const Customer& c = customers[o.customer];
    TDateTime sale = EncodeDate(o.year, o.month, o.day);
    bool open = sale >= openFrom;
    int64_t freight = o.itemsCents < 50000 ? rnd.Between64(500, 2500) : rnd.Between64(2500, 15000);
    int64_t tax = (o.itemsCents * c.taxBp + 5000) / 10000;
    int64_t paid = open ? 0 : o.itemsCents + tax + freight;
    if (!open && rnd.Below(100) < 3) paid /= 2;  // a few part payments
    int shipDays = rnd.Between(1, 10);
    int shipHour = rnd.Between(8, 17), shipMinute = rnd.Below(60);
    int empNo = kEmployees[rnd.Below(static_cast<int>(kEmployees.size()))];
    const char* via = kShipVia[rnd.Below(static_cast<int>(kShipVia.size()))];
    const char* terms = kTerms[rnd.Below(static_cast<int>(kTerms.size()))];

    sqlite3_bind_int(addOrder, 1, orderNo++);
    sqlite3_bind_int(addOrder, 2, c.custNo);
    BindText(addOrder, 3, IsoDateTime(o.year, o.month, o.day, o.hour, o.minute));
    if (!open) {
      int y, m, d;
      DecodeDate(sale + shipDays, y, m, d);
      BindText(addOrder, 4, IsoDateTime(y, m, d, shipHour, shipMinute));
    }
    sqlite3_bind_int(addOrder, 5, empNo);
    sqlite3_bind_text(addOrder, 6, via, -1, SQLITE_STATIC);
    sqlite3_bind_text(addOrder, 7, terms, -1, SQLITE_STATIC);
    sqlite3_bind_text(addOrder, 8, kPayments[o.payment], -1, SQLITE_STATIC);
    BindMoney(addOrder, 9, o.itemsCents);
    sqlite3_bind_double(addOrder, 10, c.taxBp / 100.0);
    BindMoney(addOrder, 11, freight);
    BindMoney(addOrder, 12, paid);
    w.Run(addOrder);
  }
  w.Exec("COMMIT");
  w.Close();
}

void SyncFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void WriteDemoDatabase(const std::string& folder) {
  if (folder.empty()) throw EDatabaseError("No folder given for the demo database");
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder))
    throw EDatabaseError(Format("Cannot create the folder '%s' for the demo database: %s",
                                folder.c_str(), ec ? ec.message().c_str() : "not a folder"));
  const fs::path target = fs::path(folder) / kDemoTableFile;
  const std::string temp =
      (fs::path(folder) / Format(".%s.%d.tmp", kDemoTableFile, static_cast<int>(::getpid())))
          .string();
  fs::remove(temp, ec);
  try {
    {
      Writer writer(temp);
      Fill(writer);
    }
    SyncFile(temp);
    fs::rename(temp, target);
    SyncFile(folder);
  } catch (const fs::filesystem_error& e) {
    fs::remove(temp, ec);
    throw EDatabaseError(Format("Cannot write the demo database '%s': %s", target.string().c_str(),
                                e.code().message().c_str()));
  } catch (...) {
    fs::remove(temp, ec);
    throw;
  }
}

}  // namespace hy
