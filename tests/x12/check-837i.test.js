#!/usr/bin/env node
// Tests of check-837i.js: small valid institutional interchanges (an
// inpatient stay of the subscriber; an outpatient visit of a dependant with a
// second payer) must pass, and each single fault planted into them must be
// found with the expected message.
//
// Usage: node check-837i.test.js   (exit status 0 when every case holds)
'use strict';

const { Checker } = require('./check-837p.js');
const { InstitutionalChecker } = require('./check-837i.js');

const ISA = 'ISA*00*          *00*          *ZZ*SUBMITTERID    *ZZ*RECEIVERID     *240101*1200*^*00501*000000042*0*T*:~';

const HEADER = [
  'BHT*0019*00*BATCH7*20240101*1200*CH',
  'NM1*41*2*NORTHSIDE BILLING*****46*SUBMITTERID',
  'PER*IC*JANE CLERK*TE*5555551234',
  'NM1*40*2*EXAMPLE PAYER*****46*RECEIVERID',
  'HL*1**20*1',
  'PRV*BI*PXC*282N00000X',
  'NM1*85*2*EXAMPLE HOSPITAL*****XX*1234567893',
  'N3*100 MAIN ST',
  'N4*ANYTOWN*FL*331110000',
  'REF*EI*123456789',
];

// A four-day inpatient stay (bill type 111) of the subscriber: admission and
// discharge, admitting diagnosis, a principal procedure with its operating
// physician, occurrence and value codes, a room line in days, a line with a
// HCPCS code and a line that charges nothing.
const INPATIENT = [
  'HL*2*1*22*0',
  'SBR*P*18*GRP77******CI',
  'NM1*IL*1*DOE*JOHN****MI*MEMBER123',
  'N3*200 OAK AVE',
  'N4*ANYTOWN*FL*33111',
  'DMG*D8*19700101*M',
  'NM1*PR*2*EXAMPLE PAYER*****PI*PAYER01',
  'CLM*ACCT001*3250***11:A:1**A*Y*Y',
  'DTP*096*TM*1130',
  'DTP*434*RD8*20240301-20240304',
  'DTP*435*DT*202403010815',
  'CL1*1*7*01',
  'REF*EA*MR12345',
  'HI*ABK:K3580',
  'HI*ABJ:R1031',
  'HI*ABF:E119*ABF:I10',
  'HI*BBR:0DTJ4ZZ:D8:20240301',
  'HI*BH:11:D8:20240229',
  'HI*BE:80:::3',
  'NM1*71*1*KILDARE*BEN****XX*1912301953',
  'NM1*72*1*PATEL*ANIKA****XX*1588667638',
  'LX*1',
  'SV2*0120**3000*DA*3',
  'LX*2',
  'SV2*0360*HC:44970*250*UN*1',
  'LX*3',
  'SV2*0250**0*UN*1',
];

// A two-day outpatient visit (bill type 131) of the subscriber's child, with
// a reason for visit, line service dates and a second payer (2320/2330).
const OUTPATIENT = [
  'HL*2*1*22*1',
  'SBR*P**GRP77******CI',
  'NM1*IL*1*DOE*JOHN****MI*MEMBER123',
  'NM1*PR*2*EXAMPLE PAYER*****PI*PAYER01',
  'HL*3*2*23*0',
  'PAT*19',
  'NM1*QC*1*DOE*TED',
  'N3*200 OAK AVE',
  'N4*ANYTOWN*FL*33111',
  'DMG*D8*20120101*M',
  'CLM*ACCT002*340***13:A:1**A*Y*Y',
  'DTP*434*RD8*20240305-20240306',
  'CL1***01',
  'HI*ABK:S52501A',
  'HI*APR:M25531',
  'HI*BH:11:D8:20240305',
  'NM1*71*1*KILDARE*BEN****XX*1912301953',
  'SBR*S*19*GRP99******MC',
  'OI***Y***Y',
  'NM1*IL*1*DOE*JANE****MI*SEC456',
  'NM1*PR*2*SECOND PAYER*****PI*PAYER02',
  'LX*1',
  'SV2*0450*HC:99283:25*300*UN*1',
  'DTP*472*D8*20240305',
  'LX*2',
  'SV2*0320*HC:73090*40*UN*1',
  'DTP*472*D8*20240306',
];

// Non-scheduled transportation only: no attending provider is needed.
const TRANSPORT = [
  'HL*2*1*22*0',
  'SBR*P*18*GRP77******CI',
  'NM1*IL*1*DOE*JOHN****MI*MEMBER123',
  'N3*200 OAK AVE',
  'N4*ANYTOWN*FL*33111',
  'DMG*D8*19700101*M',
  'NM1*PR*2*EXAMPLE PAYER*****PI*PAYER01',
  'CLM*ACCT003*800***13:A:1**A*Y*Y',
  'DTP*434*RD8*20240307-20240307',
  'CL1***01',
  'HI*ABK:S72001A',
  'LX*1',
  'SV2*0540*HC:A0427*800*UN*1',
  'DTP*472*D8*20240307',
];

function transaction(control, body) {
  const segs = [`ST*837*${control}*005010X223A2`, ...HEADER, ...body];
  segs.push(`SE*${segs.length + 1}*${control}`);
  return segs;
}

function interchange(sets, eol = '\n') {
  const segs = [ISA.slice(0, -1), 'GS*HC*SUBMITTERID*RECEIVERID*20240101*1200*42*X*005010X223A2'];
  for (const set of sets) segs.push(...set);
  segs.push(`GE*${sets.length}*42`, 'IEA*1*000000042');
  return segs.map((s) => s + '~' + eol).join('');
}

const IN = interchange([transaction('0001', INPATIENT)]);
const OUT = interchange([transaction('0001', OUTPATIENT)]);
const BOTH = interchange([transaction('0001', INPATIENT), transaction('0002', OUTPATIENT)]);

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
const drop = (text, segment) => recount(swap(text, `${segment}~\n`, ''));
const insert = (text, before, segment) => recount(swap(text, `${before}~\n`, `${segment}~\n${before}~\n`));

const cases = [
  // Valid files.
  { line: __LINE__(), name: 'inpatient stay', text: IN, expect: null },
  { line: __LINE__(), name: 'outpatient visit with a second payer', text: OUT, expect: null },
  { line: __LINE__(), name: 'two transaction sets', text: BOTH, expect: null, transactions: 2 },
  { line: __LINE__(), name: 'no line ends', text: interchange([transaction('0001', INPATIENT)], ''), expect: null },
  { line: __LINE__(), name: 'transport needs no attending', text: interchange([transaction('0001', TRANSPORT)]), expect: null },
  { line: __LINE__(), name: 'interim bill without discharge hour', text: drop(swap(IN, '11:A:1', '11:A:2'), 'DTP*096*TM*1130'), expect: null },
  { line: __LINE__(), name: 'admission date without hour', text: swap(IN, 'DTP*435*DT*202403010815', 'DTP*435*D8*20240301'), expect: null },
  { line: __LINE__(), name: 'present-on-admission indicator', text: swap(IN, 'HI*ABF:E119*', 'HI*ABF:E119:::::::Y*'), expect: null },
  { line: __LINE__(), name: 'one-day visit: a line may go without its date', text: drop(swap(OUT, '20240305-20240306', '20240305-20240305'), 'DTP*472*D8*20240306'), expect: null },

  // The professional rules do not pass an institutional file, nor the reverse.
  { line: __LINE__(), name: 'an 837I is no 837P', text: IN, expect: 'GS08', checker: Checker },
  { line: __LINE__(), name: 'GS08 of the professional claim', text: swap(IN, '42*X*005010X223A2', '42*X*005010X222A1'), expect: 'GS08' },
  { line: __LINE__(), name: 'SE01 wrong', text: swap(IN, 'SE*39*0001', 'SE*38*0001'), expect: 'SE01' },
  { line: __LINE__(), name: 'trailing element separator', text: swap(OUT, 'NM1*QC*1*DOE*TED~', 'NM1*QC*1*DOE*TED*~'), expect: 'trailing empty element' },

  // Loops and order.
  { line: __LINE__(), name: 'CL1 missing', text: drop(OUT, 'CL1***01'), expect: 'required CL1 missing in loop 2300' },
  { line: __LINE__(), name: 'principal diagnosis missing', text: drop(OUT, 'HI*ABK:S52501A'), expect: 'required HI principal diagnosis missing' },
  { line: __LINE__(), name: 'procedure before other diagnoses', text: swap(IN, 'HI*ABF:E119*ABF:I10~\nHI*BBR:0DTJ4ZZ:D8:20240301', 'HI*BBR:0DTJ4ZZ:D8:20240301~\nHI*ABF:E119*ABF:I10'), expect: 'unexpected segment HI*ABF' },
  { line: __LINE__(), name: 'principal diagnosis twice', text: insert(IN, 'HI*ABJ:R1031', 'HI*ABK:K359'), expect: 'HI principal diagnosis repeats' },
  { line: __LINE__(), name: 'professional line SV1', text: swap(OUT, 'SV2*0320*HC:73090*40*UN*1', 'SV1*HC:73090*40*UN*1***1'), expect: 'required SV2 missing in loop 2400' },
  { line: __LINE__(), name: 'other payer without OI', text: drop(OUT, 'OI***Y***Y'), expect: 'required OI missing in loop 2320' },
  { line: __LINE__(), name: 'other payer without its payer', text: drop(OUT, 'NM1*PR*2*SECOND PAYER*****PI*PAYER02'), expect: 'required loop 2330B missing in loop 2320' },
  { line: __LINE__(), name: 'other payer before the attending (read as the other payer\'s)', text: swap(OUT, 'NM1*71*1*KILDARE*BEN****XX*1912301953~\nSBR*S*19*GRP99******MC~\nOI***Y***Y~\nNM1*IL*1*DOE*JANE****MI*SEC456~\nNM1*PR*2*SECOND PAYER*****PI*PAYER02', 'SBR*S*19*GRP99******MC~\nOI***Y***Y~\nNM1*IL*1*DOE*JANE****MI*SEC456~\nNM1*PR*2*SECOND PAYER*****PI*PAYER02~\nNM1*71*1*KILDARE*BEN****XX*1912301953'), expect: 'attending provider (2310A NM1*71) required' },
  { line: __LINE__(), name: 'line date of another kind', text: swap(OUT, 'DTP*472*D8*20240306', 'DTP*150*D8*20240306'), expect: 'unexpected segment DTP*150' },
  { line: __LINE__(), name: 'tax id of a person', text: swap(IN, 'REF*EI*123456789', 'REF*SY*123456789'), expect: 'required REF*EI tax id missing' },

  // Hierarchy (the shared rules).
  { line: __LINE__(), name: 'HL04 says no child but one follows', text: swap(OUT, 'HL*2*1*22*1', 'HL*2*1*22*0'), expect: 'HL04' },
  { line: __LINE__(), name: 'SBR02 18 with a patient level', text: swap(OUT, 'SBR*P**GRP77', 'SBR*P*18*GRP77'), expect: 'SBR02 must be empty' },
  { line: __LINE__(), name: 'other payer SBR02 does not count for the hierarchy', text: swap(OUT, 'SBR*S*19*', 'SBR*S*18*'), expect: null },

  // Claim rules.
  { line: __LINE__(), name: 'claim not balanced', text: swap(IN, 'CLM*ACCT001*3250*', 'CLM*ACCT001*3000*'), expect: 'CLM02 3000 differs from the sum of the line charges 3250.00' },
  { line: __LINE__(), name: 'statement dates missing', text: drop(OUT, 'DTP*434*RD8*20240305-20240306'), expect: 'required DTP*434 statement dates missing' },
  { line: __LINE__(), name: 'statement period as one date', text: swap(OUT, 'DTP*434*RD8*20240305-20240306', 'DTP*434*D8*20240305'), expect: 'DTP*434 needs DTP02 RD8' },
  { line: __LINE__(), name: 'statement period backwards', text: swap(OUT, '20240305-20240306', '20240306-20240305'), expect: 'is not a date range' },
  { line: __LINE__(), name: 'admission date twice', text: insert(IN, 'CL1*1*7*01', 'DTP*435*D8*20240301'), expect: 'DTP*435 appears twice' },
  { line: __LINE__(), name: 'claim date unknown to the 837I', text: insert(OUT, 'CL1***01', 'DTP*431*D8*20240301'), expect: 'DTP01 "431" is no claim date' },
  { line: __LINE__(), name: 'inpatient without admission date', text: drop(IN, 'DTP*435*DT*202403010815'), expect: 'DTP*435 admission date required on an inpatient claim (bill type 111)' },
  { line: __LINE__(), name: 'inpatient without admission type', text: swap(IN, 'CL1*1*7*01', 'CL1**7*01'), expect: 'CL101 admission type required' },
  { line: __LINE__(), name: 'inpatient without admitting diagnosis', text: drop(IN, 'HI*ABJ:R1031'), expect: 'HI admitting diagnosis (ABJ) required' },
  { line: __LINE__(), name: 'final inpatient bill without discharge hour', text: drop(IN, 'DTP*096*TM*1130'), expect: 'DTP*096 discharge hour required' },
  { line: __LINE__(), name: 'admission after the statement period', text: swap(IN, 'DTP*435*DT*202403010815', 'DTP*435*DT*202403050815'), expect: 'after the statement period ends' },
  { line: __LINE__(), name: 'line date on an inpatient claim', text: insert(IN, 'LX*2', 'DTP*472*D8*20240301'), expect: 'not sent on an inpatient claim' },
  { line: __LINE__(), name: 'line date outside the statement period', text: swap(OUT, 'DTP*472*D8*20240306', 'DTP*472*D8*20240307'), expect: 'service date 20240307 outside the statement period 20240305-20240306' },
  { line: __LINE__(), name: 'line without date in a multi-day visit', text: drop(OUT, 'DTP*472*D8*20240306'), expect: 'DTP*472 service date required' },
  { line: __LINE__(), name: 'attending provider missing', text: drop(OUT, 'NM1*71*1*KILDARE*BEN****XX*1912301953'), expect: 'attending provider (2310A NM1*71) required' },
  { line: __LINE__(), name: 'operating physician missing', text: drop(IN, 'NM1*72*1*PATEL*ANIKA****XX*1588667638'), expect: 'operating physician (2310B NM1*72) required' },
  { line: __LINE__(), name: 'second payer with the primary responsibility', text: swap(OUT, 'SBR*S*19*', 'SBR*P*19*'), expect: 'repeats the payer responsibility of the subscriber level' },

  // Elements.
  { line: __LINE__(), name: 'professional claim code in CLM05', text: swap(IN, '11:A:1', '11:B:1'), expect: 'CLM05-2' },
  { line: __LINE__(), name: 'facility type unknown', text: swap(IN, '11:A:1', '19:A:1'), expect: 'CLM05-1' },
  { line: __LINE__(), name: 'provider signature sent', text: swap(IN, '11:A:1**A', '11:A:1*Y*A'), expect: 'CLM06 is not used' },
  { line: __LINE__(), name: 'patient status unknown', text: swap(IN, 'CL1*1*7*01', 'CL1*1*7*99'), expect: 'CL103' },
  { line: __LINE__(), name: 'patient status missing', text: swap(OUT, 'CL1***01', 'CL1*1'), expect: 'CL103 is required' },
  { line: __LINE__(), name: 'admission type unknown', text: swap(IN, 'CL1*1*7*01', 'CL1*6*7*01'), expect: 'CL101' },
  { line: __LINE__(), name: 'revenue code of three digits', text: swap(OUT, 'SV2*0450*', 'SV2*450*'), expect: 'revenue code "450" must be 4 digits' },
  { line: __LINE__(), name: 'unit code of the professional claim', text: swap(IN, '*3000*DA*3', '*3000*MJ*3'), expect: 'SV204' },
  { line: __LINE__(), name: 'unit count missing', text: swap(IN, 'SV2*0250**0*UN*1', 'SV2*0250**0*UN'), expect: 'SV205 is required' },
  { line: __LINE__(), name: 'unit count zero', text: swap(IN, 'SV2*0250**0*UN*1', 'SV2*0250**0*UN*0'), expect: 'SV205 unit count "0"' },
  { line: __LINE__(), name: 'negative charge', text: swap(swap(IN, 'SV2*0250**0*', 'SV2*0250**-5*'), '*3250***', '*3245***'), expect: 'SV203 charge -5 is negative' },
  { line: __LINE__(), name: 'HCPCS qualifier unknown', text: swap(OUT, 'HC:73090', 'XX:73090'), expect: 'SV202-1' },
  { line: __LINE__(), name: 'decimal point in a diagnosis', text: swap(IN, 'ABK:K3580', 'ABK:K35.80'), expect: 'decimal point' },
  { line: __LINE__(), name: 'ICD-9 code with an ICD-10 qualifier', text: swap(IN, 'ABK:K3580', 'ABK:5409'), expect: 'not an ICD-10-CM diagnosis code' },
  { line: __LINE__(), name: 'CPT code as principal procedure', text: swap(IN, 'BBR:0DTJ4ZZ', 'BBR:44970'), expect: 'not an ICD-10-PCS procedure code' },
  { line: __LINE__(), name: 'two qualifier families in one HI', text: swap(IN, 'HI*ABF:E119*ABF:I10', 'HI*ABF:E119*ABK:I10'), expect: 'HI02-1' },
  { line: __LINE__(), name: 'present-on-admission indicator unknown', text: swap(IN, 'HI*ABF:E119*', 'HI*ABF:E119:::::::X*'), expect: 'HI01-9' },
  { line: __LINE__(), name: 'occurrence date impossible', text: swap(IN, 'BH:11:D8:20240229', 'BH:11:D8:20230229'), expect: 'HI01-4' },
  { line: __LINE__(), name: 'occurrence code of one digit', text: swap(IN, 'BH:11:D8', 'BH:1:D8'), expect: 'must be 2 letters or digits' },
  { line: __LINE__(), name: 'value amount not a number', text: swap(IN, 'BE:80:::3', 'BE:80:::3X'), expect: 'HI01-5' },
  { line: __LINE__(), name: 'admission hour impossible', text: swap(IN, '202403010815', '202403012515'), expect: 'not a date and time' },
  { line: __LINE__(), name: 'discharge hour impossible', text: swap(IN, 'DTP*096*TM*1130', 'DTP*096*TM*1175'), expect: 'not a time HHMM' },
  { line: __LINE__(), name: 'billing provider as a person', text: swap(IN, 'NM1*85*2*EXAMPLE HOSPITAL*****', 'NM1*85*1*EXAMPLE*HOSPITAL****'), expect: 'NM102 "1" not allowed for NM1*85' },
  { line: __LINE__(), name: 'attending as an organisation', text: swap(OUT, 'NM1*71*1*KILDARE*BEN', 'NM1*71*2*KILDARE CLINIC'), expect: 'NM102 "2" not allowed for NM1*71' },
  { line: __LINE__(), name: 'attending NPI of 9 digits', text: swap(OUT, 'XX*1912301953', 'XX*191230195'), expect: 'NPI' },
  { line: __LINE__(), name: 'insurance type code sent', text: swap(IN, 'SBR*P*18*GRP77******CI', 'SBR*P*18*GRP77**47****CI'), expect: 'SBR05 is not used' },
  { line: __LINE__(), name: 'other payer without relationship', text: swap(OUT, 'SBR*S*19*', 'SBR*S**'), expect: 'SBR02 is required' },
  { line: __LINE__(), name: 'other payer benefits assignment missing', text: swap(OUT, 'OI***Y***Y', 'OI******Y'), expect: 'OI03 is required' },
  { line: __LINE__(), name: 'patient level with professional PAT elements', text: swap(OUT, 'PAT*19', 'PAT*19****D8*20240101'), expect: 'PAT05 is not used' },
];

// __LINE__ of the caller, for naming failing cases by their line.
function __LINE__() {
  const frame = new Error().stack.split('\n')[2] || '';
  const m = /:(\d+):\d+\)?$/.exec(frame);
  return m ? Number(m[1]) : 0;
}

let failures = 0;
for (const c of cases) {
  const checker = c.checker ? new c.checker(c.name) : new InstitutionalChecker(c.name);
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
