// node cube.mjs CSV THREADS RUNS
// Loads the orders CSV into an in-memory DuckDB, then runs GROUP BY CUBE of
// the three keys RUNS times (after one untimed run) and prints each run's
// time as "time=SECONDS" and the number of groups as "groups=N".
import { DuckDBInstance } from '@duckdb/node-api';

const [csv, threads, runs] = process.argv.slice(2);
if (!csv || !(Number(threads) >= 1) || !(Number(runs) >= 1)) {
  console.error('usage: node cube.mjs CSV THREADS RUNS');
  process.exit(2);
}

// No extension may be fetched: everything used here is built in.
const instance = await DuckDBInstance.create(':memory:', {
  threads: String(threads),
  autoinstall_known_extensions: 'false',
  autoload_known_extensions: 'false',
});
const con = await instance.connect();
const quoted = csv.replaceAll("'", "''");
await con.run(`CREATE TABLE orders AS SELECT * FROM read_csv('${quoted}', header = true,
  columns = {'OrderNo': 'INTEGER', 'CustNo': 'INTEGER', 'SaleDate': 'DATE',
             'PaymentMethod': 'VARCHAR', 'ItemsTotal': 'DOUBLE'})`);

// The outer aggregate consumes every group without shipping it to JavaScript.
const query = `SELECT count(*) AS groups, sum(t) AS t, sum(n) AS n FROM (
  SELECT sum(ItemsTotal) AS t, count(ItemsTotal) AS n FROM orders
  GROUP BY CUBE (CustNo, date_trunc('month', SaleDate), PaymentMethod))`;

let groups = 0;
for (let run = 0; run <= Number(runs); ++run) {
  const start = process.hrtime.bigint();
  const reader = await con.runAndReadAll(query);
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  groups = reader.getRows()[0][0];
  if (run > 0) console.log(`time=${seconds.toFixed(6)}`);
}
console.log(`groups=${groups}`);
