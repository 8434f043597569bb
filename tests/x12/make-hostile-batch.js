#!/usr/bin/env node
// Writes a copy of a batch file in which the captured values carry what a
// scanner, an operator or an attacker may put into a field: the X12
// delimiters (~ segment terminator, * element separator, : component
// separator, ^ repetition separator), NUL and ESC, a tab and line breaks.
// Released through the bundled example, the claims must come out as valid
// 837P transaction sets with exactly the segments of the clean batch.
//
// Usage: node make-hostile-batch.js CLEAN.json HOSTILE.json
'use strict';

const fs = require('fs');

const [cleanPath, hostilePath] = process.argv.slice(2);
if (!cleanPath || !hostilePath) {
  console.error('usage: make-hostile-batch.js CLEAN.json HOSTILE.json');
  process.exit(2);
}
const batch = JSON.parse(fs.readFileSync(cleanPath, 'utf8'));

// Free text (names, addresses): every kind, the control characters included
// (they cannot be stripped by a mapping file and come out as "?").
const text = (v) => `${v.slice(0, 1)}~*:^\u0000\u001b${v.slice(1)}\t\r\n`;
// Codes, identifiers, amounts and dates: the delimiters and line breaks,
// which the mappings strip, so the value stays valid.
const code = (v) => `~${v.slice(0, 1)}*:${v.slice(1)}^\r\n`;
// Lists of service-line cells: the same around each cell.
const cells = (v) => v.split('|').map((cell) => (cell === '' ? cell : code(cell))).join('|');

const kinds = {
  'Patient Last Name': text,
  'Patient First Name': text,
  'Patient Address': text,
  'Patient City': text,
  'Insured Last Name': text,
  'Insured Address': text,
  'Payer Name': text,
  'Patient State': code,
  'Patient ZIP': code,
  'Insured ID': code,
  'Insured Group Number': code,
  'Payer ID': code,
  'Patient Birth Date': code,
  'Diagnosis A': code,
  'Patient Account Number': code,
  'Total Charge': code,
  'Place of Service': code,
  'Procedure Codes': cells,
  'Line Charges': cells,
  'Service Dates': cells,
  'Units': cells,
  'Diagnosis Pointers': cells,
};

for (const document of batch.documents) {
  for (const [name, make] of Object.entries(kinds)) {
    const value = document.indexFields[name];
    if (typeof value === 'string' && value !== '') document.indexFields[name] = make(value);
  }
}
batch.batchFields['Submitter Name'] = text(batch.batchFields['Submitter Name']);
batch.batchFields['Billing Provider Address'] = text(batch.batchFields['Billing Provider Address']);
batch.batchFields['Billing Provider NPI'] = code(batch.batchFields['Billing Provider NPI']);
batch.batchFields['Submitter ID'] = code(batch.batchFields['Submitter ID']);
batch.id = code(batch.id);

fs.writeFileSync(hostilePath, JSON.stringify(batch, null, 2));
