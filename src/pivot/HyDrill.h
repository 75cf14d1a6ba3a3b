// Drill-through: the source rows behind one cell of a cube. A cell's
// coordinate vector becomes a filter, one condition per dimension that the
// cell restricts (-1, "all values", restricts nothing): a key equal to the
// dimension value, a NULL key, or, for grouped dates, the day ranges that
// fall into the group (month, quarter, year, week, with a shifted start).
// The filter then runs against the source: for an SQLite table as a WHERE
// clause with bound parameters (values are never pasted into the SQL), for an
// in-memory dataset as a scan of its rows. Rows come in pages.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/Exceptions.h"
#include "common/Variant.h"
#include "cube/HyCache.h"
#include "platform/db/DataSet.h"

namespace hy {

class THySource;

// A cell or source that cannot be drilled into; the message says why.
HY_DECLARE_EXCEPTION(EDrillError, Exception);

struct TDrillCondition {
  enum TKind : uint8_t { dcNull, dcEqual, dcRanges };
  std::string fieldName;
  TFieldType fieldType = ftUnknown;
  TKind kind = dcEqual;
  Variant value;                                  // dcEqual
  std::vector<std::pair<double, double>> ranges;  // dcRanges: first <= v < second
  std::string caption;                            // "Dimension = value", for titles
};

struct TDrillFilter {
  std::vector<TDrillCondition> conditions;
  // "Customer = 1221, SaleDate = Mar, 2004", or "all rows".
  std::string Describe() const;
};

// The filter of a coordinate vector of `source`'s cube (one entry per cube
// dimension). Raises EDrillError for an inactive source or a custom grouping.
TDrillFilter DrillFilterForCoords(const THySource& source, const TCoords& coords);
// The filter of the data, subtotal or total cell at data coordinates (x, y)
// of the source's pivot. Raises EDrillError outside the data cells.
TDrillFilter DrillFilterForCell(const THySource& source, int32_t x, int32_t y);

// The WHERE clause (without the word) of a filter and its parameters, in
// order; "1" when the filter is empty.
struct TDrillSql {
  std::string where;
  std::vector<Variant> params;
};
TDrillSql BuildDrillWhere(const TDrillFilter& filter);

// Whether a value of a field meets a condition (the in-memory side).
bool DrillValueMatches(const TDrillCondition& condition, const Variant& value);

// The rows of a filter, read in pages. The rows keep their source's column
// order; values come as the source holds them (dates as dates).
class TDrillRows {
public:
  virtual ~TDrillRows();
  const std::vector<std::string>& FieldNames() const { return names_; }
  // How many rows the filter selects in all.
  virtual int64_t Count() = 0;
  // Appends up to `max` further rows to `rows`; false once none is left.
  virtual bool Fetch(int max, std::vector<std::vector<Variant>>& rows) = 0;

protected:
  std::vector<std::string> names_;
};

// Opens the rows of `filter` in `source`: an SQLite table (TTable, on its own
// read-only connection) or an in-memory dataset (TMemDataSet, which may go
// away meanwhile: Fetch then raises EDrillError). Raises EDrillError for any
// other dataset and EDatabaseError when the table cannot be read.
std::unique_ptr<TDrillRows> OpenDrillRows(TDataSet& source, const TDrillFilter& filter);
// The same for the cube the decision source shows.
std::unique_ptr<TDrillRows> OpenDrillRows(const THySource& source, const TDrillFilter& filter);

// A value as drill-through output shows it: dates "YYYY-MM-DD" (with the
// time "HH:MM:SS" when there is one), numbers in full, Null as "".
std::string DrillValueText(const Variant& value);

}  // namespace hy
