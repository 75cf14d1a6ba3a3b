// bench_gen FILE ROWS: writes the benchmark table "orders" into FILE.
//
//   OrderNo INTEGER PRIMARY KEY, CustNo INTEGER (1001..2000),
//   SaleDate DATE (ISO text, 2015-01-01..2024-12-31: 120 months),
//   PaymentMethod VARCHAR(7) (7 texts), ItemsTotal REAL (cents)
//
// The same ROWS give the same file on every machine. The file is written
// under a temporary name and renamed, so a cached file is always complete.
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Rng {  // splitmix64: small, fast, the same everywhere
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>((Next() >> 32) * n >> 32); }
};

// Days since 1970-01-01 to a civil date.
void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

void Check(sqlite3* db, int rc, const char* doing) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return;
  std::fprintf(stderr, "bench_gen: %s: %s\n", doing, sqlite3_errmsg(db));
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  char* end = nullptr;
  const long long rows = argc == 3 ? std::strtoll(argv[2], &end, 10) : -1;
  if (argc != 3 || *end != '\0' || rows < 1) {
    std::fprintf(stderr, "usage: bench_gen FILE ROWS   (ROWS >= 1)\n");
    return 2;
  }
  const std::string file = argv[1], temp = file + ".part";
  std::remove(temp.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    std::fprintf(stderr, "bench_gen: cannot create %s\n", temp.c_str());
    return 1;
  }
  Check(db,
        sqlite3_exec(db,
                     "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
                     "CREATE TABLE orders (OrderNo INTEGER PRIMARY KEY, CustNo INTEGER NOT NULL,"
                     " SaleDate DATE NOT NULL, PaymentMethod VARCHAR(7) NOT NULL,"
                     " ItemsTotal REAL NOT NULL); BEGIN",
                     nullptr, nullptr, nullptr),
        "create");
  sqlite3_stmt* insert = nullptr;
  Check(db,
        sqlite3_prepare_v2(db, "INSERT INTO orders VALUES (?1, ?2, ?3, ?4, ?5)", -1, &insert,
                           nullptr),
        "prepare");

  static const char* const kPayments[] = {"Cash", "Check", "Credit", "Visa", "MC", "AmEx", "COD"};
  const int64_t firstDay = 16436;  // 2015-01-01
  const uint32_t days = 3653;      // to 2024-12-31
  Rng rng{0x0BE4C11ull};
  char date[16];
  for (long long i = 0; i < rows; ++i) {
    int y, m, d;
    CivilFromDays(firstDay + rng.Below(days), y, m, d);
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", y, m, d);
    const int64_t cents = 100 + rng.Below(500000);
    sqlite3_bind_int64(insert, 1, i + 1);
    sqlite3_bind_int(insert, 2, 1001 + static_cast<int>(rng.Below(1000)));
    sqlite3_bind_text(insert, 3, date, 10, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 4, kPayments[rng.Below(7)], -1, SQLITE_STATIC);
    sqlite3_bind_double(insert, 5, static_cast<double>(cents) / 100.0);
    Check(db, sqlite3_step(insert), "insert");
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");
  if (sqlite3_close(db) != SQLITE_OK || std::rename(temp.c_str(), file.c_str()) != 0) {
    std::fprintf(stderr, "bench_gen: cannot finish %s\n", file.c_str());
    std::remove(temp.c_str());
    return 1;
  }
  return 0;
}
