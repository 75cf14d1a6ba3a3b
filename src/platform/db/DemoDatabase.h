// The demo database: FOLDER/orders.db with the table "orders" (about 1200
// orders of 54 customers, January 2004 to January 2008, seven payment
// methods, more orders before Christmas than in summer) and the table
// "customer" (one row per customer: "orders.db:customer").
#pragma once

#include <string>

namespace hy {

inline constexpr const char* kDemoTableFile = "orders.db";

// Writes FOLDER/orders.db, creating the folder when missing. The data are the
// same on every run. The file is written under a temporary name and renamed
// over orders.db, so it is replaced completely or not at all. Raises
// EDatabaseError when the folder or file cannot be written.
void WriteDemoDatabase(const std::string& folder);

}  // namespace hy
