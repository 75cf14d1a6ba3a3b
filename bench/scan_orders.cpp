// bench_scan FILE: the floor for anything that reads the table through
// SQLite. Steps through "orders" reading the four columns the cube uses and
// prints the row count and a checksum (so that no read can be skipped).
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_scan FILE\n");
    return 2;
  }
  sqlite3* db = nullptr;
  sqlite3_stmt* scan = nullptr;
  if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db, "SELECT CustNo, SaleDate, PaymentMethod, ItemsTotal FROM orders", -1,
                         &scan, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "bench_scan: %s: %s\n", argv[1], sqlite3_errmsg(db));
    return 1;
  }
  int64_t rows = 0, keys = 0;
  double total = 0;
  int rc;
  while ((rc = sqlite3_step(scan)) == SQLITE_ROW) {
    keys += sqlite3_column_int(scan, 0);
    const unsigned char* date = sqlite3_column_text(scan, 1);
    const unsigned char* payment = sqlite3_column_text(scan, 2);
    keys += (date ? date[6] : 0) + (payment ? payment[0] : 0);
    total += sqlite3_column_double(scan, 3);
    ++rows;
  }
  if (rc != SQLITE_DONE) {
    std::fprintf(stderr, "bench_scan: %s\n", sqlite3_errmsg(db));
    return 1;
  }
  sqlite3_finalize(scan);
  sqlite3_close(db);
  std::printf("rows=%lld keys=%lld total=%.2f\n", static_cast<long long>(rows),
              static_cast<long long>(keys), total);
  return 0;
}
