// The peer of bench/run.sh --peer: the same full outer join of a pair on its first column, done
// by an embedded SQL engine on one thread (DuckDB, npm package @duckdb/node-api, found through
// NODE_PATH) and written as CSV. Prints its seconds and peak resident memory in kolvane-bench's
// layout. Not part of the product or its tests.
const { DuckDBInstance } = require('@duckdb/node-api');

async function main() {
  const [left, right, out] = process.argv.slice(2);
  const quote = (s) => `'${s.replace(/'/g, "''")}'`;
  const names = (side) =>
    `[${['k', 1, 2, 3, 4, 5, 6, 7].map((c) => `'${side}${c}'`).join(', ')}]`;
  const read = (file, side) =>
    `read_csv(${quote(file)}, header = true, all_varchar = true, quote = '"', ` +
    `escape = '"', names = ${names(side)})`;
  const instance = await DuckDBInstance.create(':memory:');
  const connection = await instance.connect();
  await connection.run('SET threads = 1');
  const start = process.hrtime.bigint();
  await connection.run(
    `COPY (SELECT * FROM ${read(left, 'l')} AS l FULL OUTER JOIN ${read(right, 'r')} AS r ` +
      `ON l.lk = r.rk) TO ${quote(out)} (FORMAT csv, HEADER false)`);
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  console.log(`total        ${seconds.toFixed(3).padStart(8)} s`);
  console.log(`peak working ${(process.resourceUsage().maxRSS / 1024).toFixed(1).padStart(8)} MiB`);
}

main().catch((e) => {
  console.error(`peer-duckdb: ${e.message}`);
  process.exit(1);
});
