// The plain reads (TField::GetData) against Value(): the same value, the
// same Null, the same error, for every field type of both engines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "DbTestUtil.h"
#include "common/Format.h"
#include "common/StrUtils.h"
#include "platform/db/MemDataSet.h"
#include "platform/db/Table.h"

namespace hy {
namespace {

using test::ExecSql;
using test::TempDir;

std::string ErrorOf(const std::function<void()>& read) {
  try {
    read();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no error)";
}

// Compares every field of the current row; counts the plain reads given.
void ExpectSameAsValue(const TDataSet& data, int& plainReads) {
  for (int i = 0; i < data.FieldCount(); ++i) {
    const TField* field = data.Fields(i);
    SCOPED_TRACE(field->FieldName() + " row " + std::to_string(data.RecNo()));
    Variant value;
    TFieldData plain;
    const std::string valueError = ErrorOf([&] { value = field->Value(); });
    bool given = false;
    const std::string plainError = ErrorOf([&] { given = field->GetData(plain); });
    if (valueError != "(no error)") {
      // A plain read of a bad value raises the same error, or leaves it to Value().
      if (plainError != "(no error)") EXPECT_EQ(plainError, valueError);
      else EXPECT_FALSE(given);
      continue;
    }
    ASSERT_EQ(plainError, "(no error)");
    if (!given) continue;
    ++plainReads;
    switch (plain.kind) {
      case TFieldData::fdNull: EXPECT_TRUE(value.IsNull()); break;
      case TFieldData::fdInt:
        ASSERT_TRUE(value.IsOrdinal()) << VarTypeName(value.VarType());
        EXPECT_EQ(plain.i, value.AsInt64());
        break;
      case TFieldData::fdDouble: {
        ASSERT_TRUE(value.VarType() == varDouble || value.VarType() == varDate)
            << VarTypeName(value.VarType());
        const double d = value.VarType() == varDate ? value.AsDate() : value.AsDouble();
        EXPECT_EQ(std::memcmp(&plain.d, &d, sizeof d), 0) << plain.d << " " << d;
        break;
      }
      case TFieldData::fdText:
        ASSERT_EQ(value.VarType(), varString);
        EXPECT_EQ(plain.text, value.AsString());
        break;
    }
  }
}

const char* const kCreate =
    "CREATE TABLE t (i INTEGER, si SMALLINT, w WORD, bi BIGINT, a AUTOINC, r REAL,"
    " c CURRENCY, b BOOLEAN, dt DATE, tm TIME, dtm DATETIME, ts TIMESTAMP, s VARCHAR(10),"
    " fc CHAR(3), ns NVARCHAR(5), m MEMO, bl BLOB, u);";

TEST(FieldData, TableGivesWhatValueGivesIncludingNullsAndBadValues) {
  TempDir dir;
  const std::string file = dir.File("plain.db");
  ExecSql(file,
          std::string(kCreate) +
              "INSERT INTO t VALUES (42, -5, 65535, 5000000000, 7, 2.5, 12.34, 1, '2004-01-03',"
              " '10:20:00', '2004-01-03 10:20:00', '2004-01-03T10:20:30', 'h\xC3\xA9llo', 'ab',"
              " 'wide', 'memo', x'00ff', 7);"
              "INSERT INTO t VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,"
              " NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);"
              "INSERT INTO t VALUES ('12', '7.0', 0, '-9', 1, '3.25', 5, 0, 38000.75, 38000.25,"
              " 38000.5, 37987, 123, 4.5, x'4142', 'x', 'text', 'text');"
              // Row 4: every value bad for its field.
              "INSERT INTO t VALUES ('abc', 32768, -1, 1.5, 'x', 'nan?', 'lots', 'maybe',"
              " '2004-02-30', 'noon', 'yesterday', 3000000, NULL, NULL, NULL, NULL, NULL, NULL);"
              "INSERT INTO t VALUES (2147483648, -32769, 65536, 9.5e18, 2.5, x'01', 1e300, x'01',"
              " x'01', -1e9, 1e9, 'T', NULL, NULL, NULL, NULL, NULL, NULL);");
  TTable table;
  table.SetTableName(file + ":t");
  table.Open();
  int plainReads = 0;
  for (; !table.Eof(); table.Next()) ExpectSameAsValue(table, plainReads);
  // Integers, floats, dates and texts of three good rows read plainly.
  EXPECT_GE(plainReads, 3 * 14);
  // Past the end a plain read is Null, as Value() is.
  TFieldData plain;
  plain.kind = TFieldData::fdInt;
  EXPECT_TRUE(table.FieldByName("i")->GetData(plain));
  EXPECT_EQ(plain.kind, TFieldData::fdNull);
  table.Close();
  EXPECT_THROW(table.Fields(0), EListError);
}

TEST(FieldData, BadValueRaisesTheMessageOfValue) {
  TempDir dir;
  const std::string file = dir.File("bad.db");
  ExecSql(file, "CREATE TABLE b (n INTEGER, d DATE); INSERT INTO b VALUES ('abc', '2004-02-30');");
  TTable table;
  table.SetTableName(file + ":b");
  table.Open();
  for (const char* name : {"n", "d"}) {
    const TField* field = table.FieldByName(name);
    TFieldData plain;
    const std::string plainError = ErrorOf([&] { field->GetData(plain); });
    EXPECT_NE(plainError.find("row 1, field '" + std::string(name) + "'"), std::string::npos)
        << plainError;
    EXPECT_EQ(plainError, ErrorOf([&] { field->Value(); }));
  }
}

TEST(FieldData, MemDataSetGivesWhatValueGives) {
  TMemDataSet data;
  const TFieldType types[] = {ftInteger,    ftSmallint, ftWord,      ftLargeint, ftAutoInc,
                              ftFloat,      ftCurrency, ftBCD,       ftBoolean,  ftDate,
                              ftTime,       ftDateTime, ftTimeStamp, ftString,   ftFixedChar,
                              ftWideString, ftMemo,     ftBlob,      ftUnknown};
  int n = 0;
  for (TFieldType type : types) data.AddColumn("c" + std::to_string(n++), type, 10);
  data.AppendRow({Variant(7), Variant::Smallint(-3), Variant(65535), Variant(int64_t{1} << 40),
                  Variant(1), Variant(-0.0), Variant(Currency::FromRaw(12345)),
                  Variant(Currency::FromRaw(5)), Variant(true), Variant::Date(38000.75),
                  Variant::Date(38000.25), Variant::Date(38000.5), Variant::Date(37987.125),
                  Variant("abc"), Variant(""), Variant("w"), Variant("memo"),
                  Variant(std::string("\0\1", 2)), Variant(2.5)});
  data.AppendRow();  // all Null
  data.AppendRow({Variant(INT32_MIN), Variant::Smallint(32767), Variant(0), Variant(INT64_MIN),
                  Variant(0), Variant(std::nan("")), Variant(Currency::FromRaw(0)),
                  Variant(Currency::FromRaw(0)), Variant(false), Variant::Date(0), Variant::Date(0),
                  Variant::Date(-1.5), Variant::Date(2958465.0), Variant(std::string(300, 'x')),
                  Variant("z"), Variant(""), Variant(""), Variant(""), Variant("u")});
  data.Open();
  int plainReads = 0;
  for (; !data.Eof(); data.Next()) ExpectSameAsValue(data, plainReads);
  // 14 plain-read columns (integers, float, dates, texts) on three rows.
  EXPECT_EQ(plainReads, 3 * 14);
}

// The table's date reader against the general ISO parser: the same answer and
// the same bits for every text, the exact forms it reads itself and the
// near misses it must leave to the general parser.
TEST(TableDateText, AgreesWithTheGeneralParser) {
  std::vector<std::string> texts;
  const char* const dates[] = {
      "0001-01-01", "9999-12-31",  "0000-01-01", "2000-02-29", "1900-02-29",
      "2004-02-29", "2003-02-29",  "2004-02-30", "2004-12-31", "2004-13-01",
      "2004-00-10", "2004-01-00",  "1899-12-30", "1899-12-29", "1970-01-01",
      "2004-1-05",  "2004-01-5",   "204-01-05",  "2004/01/05", "2004-0a-05",
      "+004-01-05", "2004-01-05x", "20040105",   "2004--01-5", "2004-01-0\xff"};
  const char* const times[] = {"",
                               " 00:00",
                               "T23:59",
                               " 23:59:59",
                               "T12:30:45.678",
                               " 24:00",
                               " 25:00",
                               " 10:60",
                               " 10:20:60",
                               " 10:20:30.999",
                               " 10:20:30.5",
                               " 10:20:30.1234",
                               " 10:20:30.",
                               "t10:20",
                               "_10:20",
                               " 1:20",
                               " 10:2",
                               " 10:20:3",
                               "  10:20",
                               " 10:20:30,123",
                               " 10-20",
                               " 10:20:30.12a",
                               " 10:20 ",
                               "T00:00:00.000",
                               " 0a:20"};
  for (const char* d : dates)
    for (const char* t : times) texts.push_back(std::string(d) + t);
  // Every day of a leap year and of a common year, at two times of day.
  for (int year : {1996, 2023})
    for (int m = 1; m <= 12; ++m)
      for (int d = 1; d <= 31; ++d) {
        texts.push_back(Format("%04d-%02d-%02d", year, m, d));
        texts.push_back(Format("%04d-%02d-%02d 13:%02d:%02d.%03d", year, m, d, d, 59 - d, 37 * d));
      }
  texts.insert(texts.end(), {"", "10:20", "10:20:30", "2004", "2004-01", "2004-01-05T", "x"});
  int read = 0;
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    TDateTime general = -1.5, fast = -1.5;
    const bool generalOk = TryISOStrToDateTime(text, general);
    ASSERT_EQ(TryTableDateText(text, fast), generalOk);
    EXPECT_EQ(std::memcmp(&fast, &general, sizeof fast), 0) << fast << " " << general;
    read += generalOk;
  }
  EXPECT_GT(read, 1400);  // the near misses alone would not get here
}

TEST(TableDateText, TableReadsDatesAndRaisesTheSameErrors) {
  TempDir dir;
  const std::string file = dir.File("dates.db");
  ExecSql(file,
          "CREATE TABLE d (a DATE, b DATETIME);"
          "INSERT INTO d VALUES ('2004-01-05', '2004-01-05 10:20');"
          "INSERT INTO d VALUES (' 2004-01-05 10:20:30.250 ', '2004-01-05T10:20:30.1234');"
          "INSERT INTO d VALUES (0.0, -0.0);"
          "INSERT INTO d VALUES (-0.0, 38000.5);"
          "INSERT INTO d VALUES ('2004-02-30', '2004-1-5');"
          "INSERT INTO d VALUES ('2004-01-05 25:00', '2004-01-05 10:20:30.');");
  TTable table;
  table.SetTableName(file + ":d");
  table.Open();
  const TField* a = table.FieldByName("a");
  const TField* b = table.FieldByName("b");
  auto plain = [](const TField* f) {
    TFieldData data;
    EXPECT_TRUE(f->GetData(data));
    EXPECT_EQ(data.kind, TFieldData::fdDouble);
    return data.d;
  };
  auto same = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
  const TDateTime day = EncodeDate(2004, 1, 5);
  EXPECT_TRUE(same(plain(a), day));
  EXPECT_TRUE(same(plain(b), day + EncodeTime(10, 20, 0, 0)));
  table.Next();
  EXPECT_TRUE(same(plain(a), day));  // blanks trimmed, the time dropped
  EXPECT_TRUE(same(a->Value().AsDate(), day));
  TDateTime general;
  ASSERT_TRUE(TryISOStrToDateTime("2004-01-05T10:20:30.1234", general));
  EXPECT_TRUE(same(plain(b), general));
  // Stored numbers, zero of either sign among them: the same bits as Value().
  for (int row = 3; row <= 4; ++row) {
    table.Next();
    for (const TField* f : {a, b}) EXPECT_TRUE(same(plain(f), f->Value().AsDate())) << row;
  }
  const std::string where = "Table 'd' (" + file + "), row ";
  for (int row = 5; row <= 6; ++row) {
    table.Next();
    const std::string texts[2][2] = {{"'2004-02-30'", "'2004-1-5'"},
                                     {"'2004-01-05 25:00'", "'2004-01-05 10:20:30.'"}};
    int col = 0;
    for (const TField* f : {a, b}) {
      const std::string expected = where + std::to_string(row) + ", field '" + f->FieldName() +
                                   "': " + texts[row - 5][col++] + " is not a valid " +
                                   f->TypeName() + " value";
      TFieldData data;
      EXPECT_EQ(ErrorOf([&] { f->GetData(data); }), expected);
      EXPECT_EQ(ErrorOf([&] { f->Value(); }), expected);
    }
  }
}

}  // namespace
}  // namespace hy
