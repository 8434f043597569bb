#!/usr/bin/env node
// Tests of check-837p.js: two small valid interchanges (the subscriber is the
// patient; the patient is a dependant) must pass, and each single fault
// planted into them must be found with the expected message.
//
// Usage: node check-837p.test.js   (exit status 0 when every case holds)
'use strict';

const { Checker } = require('./check-837p.js');

const ISA = 'ISA*00*          *00*          *ZZ*SUBMITTERID    *ZZ*RECEIVERID     *240101*1200*^*00501*000000042*0*T*:~';

// One transaction set; `patient` adds the dependant patient level.
function transaction(control, { patient = false } = {}) {
  const segs = [
    `ST*837*${control}*005010X222A1`,
    'BHT*0019*00*BATCH7*20240101*1200*CH',
    'NM1*41*2*NORTHSIDE BILLING*****46*SUBMITTERID',
    'PER*IC*JANE CLERK*TE*5555551234',
    'NM1*40*2*EXAMPLE PAYER*****46*RECEIVERID',
    'HL*1**20*1',
    'NM1*85*2*EXAMPLE CLINIC*****XX*1234567893',
    'N3*100 MAIN ST',
    'N4*ANYTOWN*FL*331110000',
    'REF*EI*123456789',
  ];
  if (patient) {
    segs.push('HL*2*1*22*1', 'SBR*P**GRP77******CI', 'NM1*IL*1*DOE*JOHN****MI*MEMBER123',
      'NM1*PR*2*EXAMPLE PAYER*****PI*PAYER01', 'HL*3*2*23*0', 'PAT*19', 'NM1*QC*1*DOE*TED',
      'N3*200 OAK AVE', 'N4*ANYTOWN*FL*33111', 'DMG*D8*20120101*M');
  } else {
    segs.push('HL*2*1*22*0', 'SBR*P*18*******CI', 'NM1*IL*1*DOE*JOHN****MI*MEMBER123',
      'N3*200 OAK AVE', 'N4*ANYTOWN*FL*33111', 'DMG*D8*19700101*M',
      'NM1*PR*2*EXAMPLE PAYER*****PI*PAYER01');
  }
  segs.push('CLM*ACCT001*140***11:B:1*Y*A*Y*Y', 'HI*ABK:J069*ABF:R05', 'LX*1',
    'SV1*HC:99213*100*UN*1***1', 'DTP*472*D8*20231215', 'LX*2', 'SV1*HC:87070:59*40*UN*1***1:2',
    'DTP*472*D8*20231215');
  segs.push(`SE*${segs.length + 1}*${control}`);
  return segs;
}

function interchange(sets, eol = '\n') {
  const segs = [ISA.slice(0, -1), 'GS*HC*SUBMITTERID*RECEIVERID*20240101*1200*42*X*005010X222A1'];
  for (const set of sets) segs.push(...set);
  segs.push(`GE*${sets.length}*42`, 'IEA*1*000000042');
  return segs.map((s) => s + '~' + eol).join('');
}

const SELF = interchange([transaction('0001')]);
const DEPENDANT = interchange([transaction('0001', { patient: true })]);
const BOTH = interchange([transaction('0001'), transaction('0002', { patient: true })]);

// Replaces exactly one occurrence of `from`; a case whose text is not found
// is a fault of the test itself.
function swap(text, from, to) {
  const at = text.indexOf(from);
  if (at < 0 || text.indexOf(from, at + 1) >= 0) throw new Error(`"${from}" is not found exactly once`);
  return text.slice(0, at) + to + text.slice(at + from.length);
}

// Puts SE01 right again after a case added or removed segments.
function recount(text) {
  const segs = text.split('~');
  let start = -1;
  return segs.map((s, i) => {
    const tag = s.trim().split('*')[0];
    if (tag === 'ST') start = i;
    if (tag === 'SE') return s.replace(/SE\*\d+\*/, `SE*${i - start + 1}*`);
    return s;
  }).join('~');
}

const cases = [
  // Valid files.
  { line: __LINE__(), name: 'subscriber is the patient', text: SELF, expect: null },
  { line: __LINE__(), name: 'dependant patient', text: DEPENDANT, expect: null },
  { line: __LINE__(), name: 'two transaction sets', text: BOTH, expect: null, transactions: 2 },
  { line: __LINE__(), name: 'CR LF line ends', text: interchange([transaction('0001')], '\r\n'), expect: null },
  { line: __LINE__(), name: 'no line ends', text: interchange([transaction('0001')], ''), expect: null },
  { line: __LINE__(), name: 'middle name in the middle of NM1', text: swap(SELF, 'DOE*JOHN****', 'DOE*JOHN*Q***'), expect: null },

  // Envelope.
  { line: __LINE__(), name: 'ISA13 too short', text: swap(SELF, '*000000042*0*T', '*00000042*0*T'), expect: 'ISA' },
  { line: __LINE__(), name: 'ISA06 not padded', text: swap(SELF, 'SUBMITTERID    *ZZ', 'SUBMITTERID*ZZ'), expect: 'ISA' },
  { line: __LINE__(), name: 'ISA15 unknown', text: swap(SELF, '*0*T*:~', '*0*X*:~'), expect: 'ISA15' },
  { line: __LINE__(), name: 'IEA02 differs from ISA13', text: swap(SELF, 'IEA*1*000000042', 'IEA*1*000000043'), expect: 'IEA02' },
  { line: __LINE__(), name: 'IEA02 equal only as a number', text: swap(SELF, 'IEA*1*000000042', 'IEA*1*42'), expect: 'IEA02' },
  { line: __LINE__(), name: 'IEA01 wrong', text: swap(SELF, 'IEA*1*', 'IEA*2*'), expect: 'IEA01' },
  { line: __LINE__(), name: 'GE01 wrong', text: swap(SELF, 'GE*1*42', 'GE*2*42'), expect: 'GE01' },
  { line: __LINE__(), name: 'GE02 differs from GS06', text: swap(SELF, 'GE*1*42', 'GE*1*43'), expect: 'GE02' },
  { line: __LINE__(), name: 'GS08 other version', text: swap(SELF, '42*X*005010X222A1', '42*X*005010X222A2'), expect: 'GS08' },
  { line: __LINE__(), name: 'SE01 wrong', text: swap(SELF, 'SE*26*', 'SE*25*'), expect: 'SE01' },
  { line: __LINE__(), name: 'SE02 differs from ST02', text: swap(SELF, 'SE*26*0001', 'SE*26*0002'), expect: 'SE02' },
  { line: __LINE__(), name: 'ST02 twice in a group', text: BOTH.replace(/0002/g, '0001'), expect: 'used twice', transactions: 2 },
  { line: __LINE__(), name: 'ST02 too short', text: SELF.replace(/\*0001/g, '*001'), expect: 'ST02' },
  { line: __LINE__(), name: 'transaction count option', text: SELF, expect: 'expected 2', transactions: 2 },

  // Layout of the text.
  { line: __LINE__(), name: 'blank before a segment', text: swap(SELF, '\nBHT', '\n BHT'), expect: 'white space' },
  { line: __LINE__(), name: 'two line ends', text: swap(SELF, '~\nBHT', '~\n\nBHT'), expect: 'white space' },
  { line: __LINE__(), name: 'trailing element separator', text: swap(DEPENDANT, 'NM1*QC*1*DOE*TED~', 'NM1*QC*1*DOE*TED*~'), expect: 'trailing empty element' },
  { line: __LINE__(), name: 'empty segment', text: swap(SELF, 'LX*1~', 'LX*1~~'), expect: 'empty segment' },
  { line: __LINE__(), name: 'character outside ASCII', text: swap(SELF, 'DOE*JOHN', 'DÖE*JOHN'), expect: 'U+00d6' },
  { line: __LINE__(), name: 'text after IEA', text: SELF + 'XYZ', expect: 'after the last segment' },

  // Loops and order.
  { line: __LINE__(), name: 'billing provider N3 missing', text: recount(swap(SELF, 'N3*100 MAIN ST~\n', '')), expect: 'required N3 missing in loop 2010AA' },
  { line: __LINE__(), name: 'tax id repeated', text: recount(swap(SELF, 'REF*EI*123456789~', 'REF*EI*123456789~\nREF*EI*987654321~')), expect: 'repeats more than 1' },
  { line: __LINE__(), name: 'principal diagnosis missing', text: recount(swap(SELF, 'HI*ABK:J069*ABF:R05~\n', '')), expect: 'required HI principal diagnosis missing' },
  { line: __LINE__(), name: 'service date before SV1', text: swap(SELF, 'SV1*HC:99213*100*UN*1***1~\nDTP*472*D8*20231215', 'DTP*472*D8*20231215~\nSV1*HC:99213*100*UN*1***1'), expect: 'SV1' },
  { line: __LINE__(), name: 'patient level without DMG', text: recount(swap(DEPENDANT, 'DMG*D8*20120101*M~\n', '')), expect: 'required DMG missing in loop 2010CA' },
  { line: __LINE__(), name: 'submitter PER missing', text: recount(swap(SELF, 'PER*IC*JANE CLERK*TE*5555551234~\n', '')), expect: 'required PER missing in loop 1000A' },

  // Hierarchy.
  { line: __LINE__(), name: 'HL numbering gap', text: swap(SELF, 'HL*2*1*22*0', 'HL*3*1*22*0'), expect: 'HL01' },
  { line: __LINE__(), name: 'HL parent wrong', text: swap(DEPENDANT, 'HL*3*2*23*0', 'HL*3*1*23*0'), expect: 'HL02' },
  { line: __LINE__(), name: 'HL04 says child but none', text: swap(SELF, 'HL*2*1*22*0', 'HL*2*1*22*1'), expect: 'HL04' },
  { line: __LINE__(), name: 'HL04 says no child but one follows', text: swap(DEPENDANT, 'HL*2*1*22*1', 'HL*2*1*22*0'), expect: 'HL04' },
  { line: __LINE__(), name: 'SBR02 18 with a patient level', text: swap(DEPENDANT, 'SBR*P**GRP77', 'SBR*P*18*GRP77'), expect: 'SBR02 must be empty' },
  { line: __LINE__(), name: 'SBR02 missing when self', text: swap(SELF, 'SBR*P*18*', 'SBR*P**'), expect: 'SBR02 must be 18' },
  { line: __LINE__(), name: 'self subscriber without DMG', text: recount(swap(SELF, 'DMG*D8*19700101*M~\n', '')), expect: '2010BA needs DMG' },
  { line: __LINE__(), name: 'PAT01 missing in patient level', text: swap(DEPENDANT, 'PAT*19', 'PAT**1'), expect: 'PAT01' },

  // Claims and lines.
  { line: __LINE__(), name: 'LX numbering gap', text: swap(SELF, 'LX*2', 'LX*3'), expect: 'LX01' },
  { line: __LINE__(), name: 'claim not balanced', text: swap(SELF, 'CLM*ACCT001*140*', 'CLM*ACCT001*150*'), expect: 'CLM02' },
  { line: __LINE__(), name: 'pointer beyond the diagnoses', text: swap(SELF, '***1:2~', '***1:3~'), expect: 'diagnosis pointer 3' },
  { line: __LINE__(), name: 'decimal point in a diagnosis', text: swap(SELF, 'ABK:J069', 'ABK:J06.9'), expect: 'decimal point' },

  // Elements.
  { line: __LINE__(), name: 'last name too long', text: swap(SELF, 'NM1*IL*1*DOE*', `NM1*IL*1*${'X'.repeat(61)}*`), expect: 'NM103' },
  { line: __LINE__(), name: 'first name too long', text: swap(SELF, 'DOE*JOHN*', `DOE*${'J'.repeat(36)}*`), expect: 'NM104' },
  { line: __LINE__(), name: 'address too long', text: swap(SELF, 'N3*200 OAK AVE', `N3*${'A'.repeat(56)}`), expect: 'N301' },
  { line: __LINE__(), name: 'sex code unknown', text: swap(SELF, 'DMG*D8*19700101*M', 'DMG*D8*19700101*X'), expect: 'DMG03' },
  { line: __LINE__(), name: 'birth date impossible', text: swap(SELF, 'DMG*D8*19700101', 'DMG*D8*19700231'), expect: 'DMG02' },
  { line: __LINE__(), name: 'service date impossible', text: SELF.replace(/DTP\*472\*D8\*20231215/g, 'DTP*472*D8*20231315'), expect: 'DTP03' },
  { line: __LINE__(), name: 'billing ZIP of 5 digits', text: swap(SELF, '331110000', '33111'), expect: '9 digits' },
  { line: __LINE__(), name: 'state unknown', text: swap(SELF, 'N4*ANYTOWN*FL*33111~', 'N4*ANYTOWN*XX*33111~'), expect: 'N402' },
  { line: __LINE__(), name: 'place of service unknown', text: swap(SELF, '*11:B:1*', '*98:B:1*'), expect: 'CLM05-1' },
  { line: __LINE__(), name: 'charge not a number', text: swap(SELF, 'SV1*HC:99213*100*', 'SV1*HC:99213*1O0*'), expect: 'SV102' },
  { line: __LINE__(), name: 'NPI not 10 digits', text: swap(SELF, 'XX*1234567893', 'XX*123456789'), expect: 'NPI' },
  { line: __LINE__(), name: 'NM108 without NM109', text: swap(SELF, '*****PI*PAYER01', '*****PI'), expect: 'NM108 and NM109' },
  { line: __LINE__(), name: 'element not used', text: swap(SELF, 'SBR*P*18*******CI', 'SBR*P*18****X***CI'), expect: 'SBR06' },
  { line: __LINE__(), name: 'code with a blank', text: swap(SELF, 'SBR*P*18*******CI', 'SBR*P*18*******C I'), expect: 'SBR09' },
  { line: __LINE__(), name: 'value with a leading blank', text: swap(SELF, 'N3*200 OAK AVE', 'N3* 200 OAK AVE'), expect: 'starts with a blank' },
];

// __LINE__ of the caller, for naming failing cases by their line.
function __LINE__() {
  const frame = new Error().stack.split('\n')[2] || '';
  const m = /:(\d+):\d+\)?$/.exec(frame);
  return m ? Number(m[1]) : 0;
}

let failures = 0;
for (const c of cases) {
  const checker = new Checker(c.name);
  checker.run(c.text, c.transactions);
  const errors = checker.errors;
  let ok;
  if (c.expect === null) ok = errors.length === 0;
  else ok = errors.some((e) => e.includes(c.expect));
  if (!ok) {
    failures += 1;
    console.log(`FAIL line ${c.line}: ${c.name}: expected ${c.expect === null ? 'no problem' : `a problem with "${c.expect}"`}, got:`);
    for (const e of errors.length ? errors : ['(no problem)']) console.log(`    ${e}`);
  }
}
console.log(`${cases.length - failures} of ${cases.length} checker cases passed`);
process.exitCode = failures === 0 ? 0 : 1;
