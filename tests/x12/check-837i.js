#!/usr/bin/env node
// Checks that files are valid X12 837 institutional claim interchanges
// (005010X223A2), the claims of the UB-04 form. The file is parsed with
// node-x12 and checked by the engine of check-837p.js (text layout, envelope,
// loops, element usage, lengths and codes, HL hierarchy, LX numbering) with
// the rule set of the institutional claim:
//
//   - loops and segment order of the 837I: 2300 CLM, DTP, CL1 and the HI
//     segments in their order (principal, admitting, reason for visit, other
//     diagnoses, procedures, occurrence, value, condition codes), attending,
//     operating and other providers (2310A-F), other payers (2320/2330), and
//     the revenue lines (2400 LX, SV2, DTP*472);
//   - CLM05 facility type code "A" frequency, CLM06 not used; CL1 admission
//     type and source, patient status; SV2 revenue code, HCPCS composite,
//     charge, unit code (DA days, UN units) and count;
//   - diagnosis codes of the ICD-10-CM shape, procedure codes of the
//     ICD-10-PCS shape, occurrence dates, value amounts;
//   - claim rules: CLM02 is the sum of SV203, one statement period (DTP*434
//     RD8), inpatient claims with admission date (DTP*435), admission type
//     (CL101) and admitting diagnosis, final inpatient claims with a discharge
//     hour (DTP*096), line service dates only on outpatient claims and inside
//     the statement period (and required there when it spans several days),
//     an attending provider, an operating physician when a principal procedure
//     is reported, other payers with a payer responsibility of their own.
//
// Usage: node check-837i.js [--transactions N] [--quiet] FILE...
//   --transactions N  also require exactly N transaction sets in each file
// Exit status: 0 all files valid, 1 some file invalid, 2 usage or read error.
'use strict';

const professional = require('./check-837p.js');

const { Checker, validDate } = professional;
const { R, S, N, comp, seg, loop, q, not, ANY, MANY } = professional.grammar;
const { US_STATES, CLAIM_FILING } = professional.codes;

const IMPLEMENTATION = '005010X223A2';

// ---------------------------------------------------------------------------
// Code lists

const codeList = (text) => text.split(' ');

// CLM05-1: the first two digits of the UB-04 type of bill (facility type and
// bill classification).
const FACILITY_TYPES = codeList('11 12 13 14 18 21 22 23 28 32 33 34 41 43 65 66 71 72 73 74 75 ' +
  '76 77 79 81 82 83 84 85 86 89');
// Inpatient bill types: an admission, no line service dates.
const INPATIENT = new Set(['11', '18', '21', '41']);
const FREQUENCIES = codeList('0 1 2 3 4 5 7 8 9 A B C D E F G H I J K M O P Q X Y Z');
// Frequencies of a final claim: admit through discharge, last interim claim.
const FINAL_FREQUENCIES = new Set(['1', '4']);
const ADMISSION_TYPES = codeList('1 2 3 4 5 9');
const ADMISSION_SOURCES = codeList('1 2 3 4 5 6 7 8 9 A B C D E F G');
const PATIENT_STATUS = codeList('01 02 03 04 05 06 07 08 09 20 21 30 40 41 42 43 50 51 61 62 63 ' +
  '64 65 66 69 70 81 82 83 84 85 86 87 88 89 90 91 92 93 94 95');
const PAYER_RESPONSIBILITY = codeList('A B C D E F G H P S T U');
const RELATIONSHIPS = codeList('01 18 19 20 21 39 40 53 G8');
const PATIENT_RELATIONSHIPS = codeList('01 19 20 21 39 40 53 G8');
const POA = codeList('N U W Y 1');
// Non-scheduled transportation (revenue codes 054x) needs no attending provider.
const isTransport = (revenue) => /^054\d$/.test(revenue);

// ---------------------------------------------------------------------------
// Elements

const ELEMENTS = {
  ...professional.ELEMENTS,
  PRV: [R('ID', 2, 3, ['BI', 'AT']), R('ID', 3, 3, ['PXC']), R('AN', 1, 50)],
  SBR: [R('ID', 1, 1, PAYER_RESPONSIBILITY), S('ID', 2, 2, ['18']), S('AN', 1, 50), S('AN', 1, 60),
    N(), N(), N(), N(), S('ID', 1, 2, CLAIM_FILING)],
  PAT: [R('ID', 2, 2, PATIENT_RELATIONSHIPS), N(), N(), N(), N(), N(), N(), N(), N()],
  CLM: [R('AN', 1, 38), R('R', 1, 18), N(), N(),
    comp('R', [R('AN', 1, 2, FACILITY_TYPES), R('ID', 1, 2, ['A']), R('ID', 1, 1, FREQUENCIES)]),
    N(), R('ID', 1, 1, ['A', 'B', 'C']), R('ID', 1, 1, ['N', 'W', 'Y']), R('ID', 1, 1, ['I', 'Y']),
    N(), N(), N(), N(), N(), N(), N(), N(), N(), N(),
    S('ID', 1, 2, codeList('1 2 3 4 5 6 7 8 9 10 11 15'))],
  DTP: [R('ID', 3, 3), R('ID', 2, 3, ['D8', 'RD8', 'DT', 'TM']), R('AN', 1, 35)],
  CL1: [S('ID', 1, 1, ADMISSION_TYPES), S('ID', 1, 1, ADMISSION_SOURCES), R('ID', 1, 2, PATIENT_STATUS),
    N()],
  SV2: [R('AN', 1, 48),
    comp('S', [R('ID', 2, 2, ['ER', 'HC', 'HP', 'IV', 'WK']), R('AN', 1, 48), S('AN', 2, 2),
      S('AN', 2, 2), S('AN', 2, 2), S('AN', 2, 2), S('AN', 1, 80), N()]),
    R('R', 1, 18), R('ID', 2, 2, ['DA', 'UN']), R('R', 1, 15), S('R', 1, 10), S('R', 1, 18), N(), N(),
    N()],
  OI: [N(), N(), R('ID', 1, 1, ['N', 'W', 'Y']), N(), N(), R('ID', 1, 1, ['I', 'Y'])],
  AMT: [R('ID', 1, 3, ['F3', 'D', 'A8', 'EAF', 'GT', 'N8']), R('R', 1, 18), N()],
  NTE: [R('ID', 3, 3, codeList('ADD ALG DCP DGN DME MED NTR ODT PRR REC SET SPT TPO UPI')),
    R('AN', 1, 80)],
};
// SBR of another payer (2320): the patient's relationship to that payer's insured.
const OTHER_SBR = [R('ID', 1, 1, PAYER_RESPONSIBILITY), R('ID', 2, 2, RELATIONSHIPS), S('AN', 1, 50),
  S('AN', 1, 60), N(), N(), N(), N(), S('ID', 1, 2, CLAIM_FILING)];

// One kind of HI segment: up to `max` composites of the same qualifier family
// (the first required), the rest of the twelve not used.
function hi(qualifiers, parts, max) {
  const composite = (usage) => comp(usage, [R('ID', 1, 3, qualifiers), ...parts]);
  return Array.from({ length: 12 }, (unused, i) => (i === 0 ? composite('R')
    : i < max ? composite('S') : N()));
}
const CODE = R('AN', 1, 30);
// Diagnosis with its present-on-admission indicator (component 9).
const DIAGNOSIS = [CODE, N(), N(), N(), N(), N(), N(), S('ID', 1, 1, POA)];
const DATED = [CODE, R('ID', 2, 3, ['D8']), R('DT', 8, 8)];

// The HI segments of 2300 in their order. `kind` says how component 2 is
// checked: 'icd10' diagnoses, 'pcs' procedures, 'code' two-character codes.
const HI_SEGMENTS = [
  { name: 'HI principal diagnosis', codes: ['ABK', 'BK'], parts: DIAGNOSIS, max: 1, min: 1, kind: 'icd10' },
  { name: 'HI admitting diagnosis', codes: ['ABJ', 'BJ'], parts: [CODE], max: 1, kind: 'icd10' },
  { name: 'HI reason for visit', codes: ['APR', 'PR'], parts: [CODE], max: 3, kind: 'icd10' },
  { name: 'HI external cause of injury', codes: ['ABN', 'BN'], parts: DIAGNOSIS, max: 12, kind: 'icd10' },
  { name: 'HI diagnosis related group', codes: ['DR'], parts: [CODE], max: 1 },
  { name: 'HI other diagnosis', codes: ['ABF', 'BF'], parts: DIAGNOSIS, max: 12, repeat: 2, kind: 'icd10' },
  { name: 'HI principal procedure', codes: ['BBR', 'BR', 'CAH'], parts: DATED, max: 1, kind: 'pcs' },
  { name: 'HI other procedure', codes: ['BBQ', 'BQ'], parts: DATED, max: 12, repeat: 2, kind: 'pcs' },
  { name: 'HI occurrence span', codes: ['BI'], parts: [CODE, R('ID', 3, 3, ['RD8']), R('AN', 17, 17)], max: 12, repeat: 2, kind: 'code' },
  { name: 'HI occurrence', codes: ['BH'], parts: DATED, max: 12, repeat: 2, kind: 'code' },
  { name: 'HI value', codes: ['BE'], parts: [CODE, N(), N(), R('R', 1, 18)], max: 12, repeat: 2, kind: 'code' },
  { name: 'HI condition', codes: ['BG'], parts: [CODE], max: 12, repeat: 2, kind: 'code' },
  { name: 'HI treatment code', codes: ['TC'], parts: [CODE], max: 12, repeat: 2 },
].map((h) => seg('HI', h.min || 0, h.repeat || 1, q(1, ...h.codes),
  { name: h.name, elements: hi(h.codes, h.parts, h.max), hi: h }));

// ---------------------------------------------------------------------------
// The transaction set grammar

const ADDRESS = [seg('N3', 1, 1, ANY), seg('N4', 1, 1, ANY)];
const OPTIONAL_ADDRESS = [seg('N3', 0, 1, ANY), seg('N4', 0, 1, ANY)];
const provider = (name, qualifier, rest = []) => loop(name, 0, 1,
  [seg('NM1', 1, 1, q(1, qualifier)), ...rest, seg('REF', 0, 4, ANY)]);
// The other payer's providers (2330C-I) carry only secondary identifiers.
const otherPayerProvider = (name, qualifier) => loop(name, 0, 1, [
  seg('NM1', 1, 1, q(1, qualifier), { nm1: { types: ['1', '2'], name: false, ids: [], noName: true } }),
  seg('REF', 1, 3, ANY)]);

const LOOP_2400 = loop('2400', 1, 999, [
  seg('LX', 1, 1, ANY),
  seg('SV2', 1, 1, ANY),
  seg('PWK', 0, 10, ANY),
  seg('DTP', 0, 1, q(1, '472'), { name: 'DTP*472 service date' }),
  seg('REF', 0, MANY, ANY),
  seg('AMT', 0, 2, ANY),
  seg('NTE', 0, 1, ANY),
  seg('HCP', 0, 1, ANY),
  loop('2410', 0, 1, [seg('LIN', 1, 1, ANY), seg('CTP', 1, 1, ANY), seg('REF', 0, 1, ANY)]),
  provider('2420A', '72'),
  provider('2420B', 'ZZ'),
  provider('2420C', '82'),
  provider('2420D', 'DN'),
  loop('2430', 0, 15, [seg('SVD', 1, 1, ANY), seg('CAS', 0, 5, ANY), seg('DTP', 1, 1, q(1, '573')),
    seg('AMT', 0, 1, ANY)]),
]);

const LOOP_2320 = loop('2320', 0, 10, [
  seg('SBR', 1, 1, ANY, { elements: OTHER_SBR }),
  seg('CAS', 0, 5, ANY),
  seg('AMT', 0, 3, ANY),
  seg('OI', 1, 1, ANY),
  seg('MOA', 0, 1, ANY),
  loop('2330A', 1, 1, [seg('NM1', 1, 1, q(1, 'IL')), ...OPTIONAL_ADDRESS, seg('REF', 0, 1, ANY)]),
  loop('2330B', 1, 1, [seg('NM1', 1, 1, q(1, 'PR')), ...OPTIONAL_ADDRESS, seg('DTP', 0, 1, ANY),
    seg('REF', 0, MANY, ANY)]),
  otherPayerProvider('2330C', '71'),
  otherPayerProvider('2330D', '72'),
  otherPayerProvider('2330E', 'ZZ'),
  otherPayerProvider('2330F', '77'),
  otherPayerProvider('2330G', '82'),
  otherPayerProvider('2330H', 'DN'),
  otherPayerProvider('2330I', '85'),
]);

const LOOP_2300 = loop('2300', 1, 100, [
  seg('CLM', 1, 1, ANY),
  seg('DTP', 0, MANY, ANY),
  seg('CL1', 1, 1, ANY),
  seg('PWK', 0, 10, ANY),
  seg('CN1', 0, 1, ANY),
  seg('AMT', 0, 1, ANY),
  seg('REF', 0, MANY, ANY),
  seg('K3', 0, 10, ANY),
  seg('NTE', 0, 10, ANY),
  seg('CRC', 0, 1, ANY),
  ...HI_SEGMENTS,
  seg('HCP', 0, 1, ANY),
  provider('2310A', '71', [seg('PRV', 0, 1, q(1, 'AT'))]),
  provider('2310B', '72'),
  provider('2310C', 'ZZ'),
  provider('2310D', '82'),
  provider('2310E', '77', ADDRESS),
  provider('2310F', 'DN'),
  LOOP_2320,
  LOOP_2400,
]);

const LOOP_2000C = loop('2000C', 0, MANY, [
  seg('HL', 1, 1, q(3, '23')),
  seg('PAT', 1, 1, ANY, { patient: true }),
  loop('2010CA', 1, 1, [seg('NM1', 1, 1, q(1, 'QC')), ...ADDRESS, seg('DMG', 1, 1, ANY),
    seg('REF', 0, 2, ANY)]),
  LOOP_2300,
]);

const LOOP_2000B = loop('2000B', 1, MANY, [
  seg('HL', 1, 1, q(3, '22')),
  seg('SBR', 1, 1, ANY),
  loop('2010BA', 1, 1, [seg('NM1', 1, 1, q(1, 'IL')), ...OPTIONAL_ADDRESS, seg('DMG', 0, 1, ANY),
    seg('REF', 0, 2, ANY)]),
  loop('2010BB', 1, 1, [seg('NM1', 1, 1, q(1, 'PR')), ...OPTIONAL_ADDRESS, seg('REF', 0, 3, ANY)]),
  { ...LOOP_2300, min: 0 },
  LOOP_2000C,
]);

const LOOP_2000A = loop('2000A', 1, MANY, [
  seg('HL', 1, 1, q(3, '20')),
  seg('PRV', 0, 1, q(1, 'BI')),
  seg('CUR', 0, 1, ANY),
  loop('2010AA', 1, 1, [seg('NM1', 1, 1, q(1, '85')), ...ADDRESS,
    seg('REF', 1, 1, q(1, 'EI'), { name: 'REF*EI tax id' }),
    seg('REF', 0, 2, not(q(1, 'EI'))), seg('PER', 0, 2, ANY)]),
  loop('2010AB', 0, 1, [seg('NM1', 1, 1, q(1, '87')), ...ADDRESS]),
  loop('2010AC', 0, 1, [seg('NM1', 1, 1, q(1, 'PE')), ...OPTIONAL_ADDRESS, seg('REF', 0, 2, ANY)]),
  LOOP_2000B,
]);

const TRANSACTION = loop('header', 1, 1, [
  seg('BHT', 1, 1, ANY),
  loop('1000A', 1, 1, [seg('NM1', 1, 1, q(1, '41')), seg('PER', 1, 2, ANY)]),
  loop('1000B', 1, 1, [seg('NM1', 1, 1, q(1, '40'))]),
  LOOP_2000A,
]);

const person = { types: ['1'], name: true, ids: ['XX'] };
const NM1_RULES = {
  ...professional.NM1_RULES,
  85: { types: ['2'], name: true, ids: ['XX'], idRequired: true },
  87: { types: ['2'], name: false, ids: [], noName: true },
  71: person,
  72: person,
  ZZ: person,
  82: person,
  77: { types: ['2'], name: true, ids: ['XX'] },
  DN: person,
};

const INSTITUTIONAL = {
  name: '837I',
  program: 'check-837i',
  implementation: IMPLEMENTATION,
  elements: ELEMENTS,
  transaction: TRANSACTION,
  nm1: NM1_RULES,
};

// ---------------------------------------------------------------------------

// The dates of a DTP03 or HI composite: [from, through] of a D8, RD8 or DT value.
function dateRange(format, value) {
  if (format === 'D8' && validDate(value)) return [value, value];
  if (format === 'DT' && validDate(value.slice(0, 8))) return [value.slice(0, 8), value.slice(0, 8)];
  const m = /^(\d{8})-(\d{8})$/.exec(value);
  if (format === 'RD8' && m && validDate(m[1]) && validDate(m[2])) return [m[1], m[2]];
  return null;
}

const CLAIM_DATES = { '096': ['TM'], 434: ['RD8'], 435: ['D8', 'DT'], '050': ['D8'] };

class InstitutionalChecker extends Checker {
  constructor(file) {
    super(file, INSTITUTIONAL);
  }

  checkSegment(s, item, loopName, component) {
    super.checkSegment(s, item, loopName, component);
    const v = (i) => s.valueOf(i, '') || '';
    const where = `${Checker.where(s)} (loop ${loopName})`;
    switch (s.tag) {
      case 'SV2':
        if (!/^\d{4}$/.test(v(1))) this.error(where, `SV201 revenue code "${v(1)}" must be 4 digits`);
        if (parseFloat(v(3)) < 0) this.error(where, `SV203 charge ${v(3)} is negative`);
        if (v(5) !== '' && !(parseFloat(v(5)) > 0)) this.error(where, `SV205 unit count "${v(5)}" must be more than 0`);
        break;
      case 'HI':
        if (item.hi) this.checkCodes(s, item.hi, where, component);
        break;
      default:
        break;
    }
  }

  // The codes of an HI segment by the kind of its qualifier family.
  checkCodes(s, kind, where, component) {
    s.elements.forEach((e, i) => {
      const parts = e.value.split(component);
      const [qualifier, code = ''] = parts;
      const name = `HI${String(i + 1).padStart(2, '0')}`;
      if (!code) return;
      if (kind.kind === 'icd10' && qualifier.startsWith('AB') && !/^[A-Z][0-9][0-9A-Z]{1,5}$/.test(code)) {
        this.error(where, `${name} "${code}" is not an ICD-10-CM diagnosis code`);
      }
      if (kind.kind === 'pcs' && ['BBR', 'BBQ'].includes(qualifier)) {
        if (!/^[0-9A-HJ-NP-Z]{7}$/.test(code)) this.error(where, `${name} "${code}" is not an ICD-10-PCS procedure code`);
      }
      if (kind.kind === 'code' && !/^[0-9A-Z]{2}$/.test(code)) {
        this.error(where, `${name} code "${code}" must be 2 letters or digits`);
      }
      if (qualifier === 'BI' && parts[3] && !dateRange('RD8', parts[3])) {
        this.error(where, `${name} "${parts[3]}" is not a date range`);
      }
    });
  }

  enterLoop(item, s, context) {
    super.enterLoop(item, s, context);
    if (item.name === '2300') {
      Object.assign(context.claim, {
        payer: context.payerResponsibility, dates: [], cl1: null, hi: new Set(), providers: new Set(),
        otherPayers: [],
      });
    }
  }

  observe(s, item, loopName, context) {
    super.observe(s, item, loopName, context);
    const claim = context.claim;
    if (s.tag === 'SBR' && loopName === '2000B') context.payerResponsibility = s;
    if (!claim) return;
    const line = claim.lines[claim.lines.length - 1];
    switch (`${loopName} ${s.tag}`) {
      case '2300 DTP':
        claim.dates.push(s);
        break;
      case '2300 CL1':
        claim.cl1 = s;
        break;
      case '2300 HI':
        claim.hi.add(item.name);
        break;
      case '2310A NM1':
      case '2310B NM1':
        claim.providers.add(s.valueOf(1, ''));
        break;
      case '2320 SBR':
        claim.otherPayers.push(s);
        break;
      case '2400 SV2':
        line.sv2 = s;
        break;
      case '2400 DTP':
        line.dtp = s;
        break;
      default:
        break;
    }
  }

  checkClaim(claim, component) {
    this.checkLineNumbers(claim);
    const clm = claim.clm;
    const at = Checker.where(clm);
    const [facility = '', , frequency = ''] = (clm.valueOf(5, '') || '').split(component);
    const inpatient = INPATIENT.has(facility);
    const billType = `bill type ${facility}${frequency}`;

    let total = 0;
    for (const line of claim.lines) {
      if (line.sv2) total += Math.round(parseFloat(line.sv2.valueOf(3, '0')) * 100);
    }
    const charged = Math.round(parseFloat(clm.valueOf(2, '0')) * 100);
    if (charged !== total) {
      this.error(at, `CLM02 ${clm.valueOf(2, '')} differs from the sum of the line charges ${(total / 100).toFixed(2)}`);
    }

    // Claim dates: each once, in its own format.
    const dates = {};
    for (const dtp of claim.dates) {
      const qualifier = dtp.valueOf(1, '');
      const formats = CLAIM_DATES[qualifier];
      if (!formats) {
        this.error(Checker.where(dtp), `DTP01 "${qualifier}" is no claim date of the 837I (096, 434, 435, 050)`);
      } else if (!formats.includes(dtp.valueOf(2, ''))) {
        this.error(Checker.where(dtp), `DTP*${qualifier} needs DTP02 ${formats.join(' or ')}, not "${dtp.valueOf(2, '')}"`);
      } else if (dates[qualifier]) {
        this.error(Checker.where(dtp), `DTP*${qualifier} appears twice in the claim`);
      } else {
        dates[qualifier] = dtp;
      }
    }
    const statement = dates[434] ? dateRange('RD8', dates[434].valueOf(3, '')) : null;
    if (!dates[434] && !claim.dates.some((d) => d.valueOf(1, '') === '434')) {
      this.error(at, 'required DTP*434 statement dates missing in the claim');
    }
    if (inpatient) {
      if (!dates[435]) this.error(at, `DTP*435 admission date required on an inpatient claim (${billType})`);
      if (!claim.cl1 || !claim.cl1.valueOf(1, '')) this.error(at, `CL101 admission type required on an inpatient claim (${billType})`);
      if (!claim.hi.has('HI admitting diagnosis')) this.error(at, `HI admitting diagnosis (ABJ) required on an inpatient claim (${billType})`);
      if (FINAL_FREQUENCIES.has(frequency) && !dates['096']) {
        this.error(at, `DTP*096 discharge hour required on a final inpatient claim (${billType})`);
      }
    }
    if (statement && dates[435]) {
      const admission = dateRange(dates[435].valueOf(2, ''), dates[435].valueOf(3, ''));
      if (admission && admission[0] > statement[1]) {
        this.error(Checker.where(dates[435]), `admission ${admission[0]} after the statement period ends (${statement[1]})`);
      }
    }

    // Line service dates: outpatient claims only, inside the statement period.
    const severalDays = statement && statement[0] !== statement[1];
    for (const line of claim.lines) {
      if (!line.dtp) {
        if (!inpatient && severalDays && line.sv2) {
          this.error(Checker.where(line.sv2), 'DTP*472 service date required: the outpatient statement period spans several days');
        }
        continue;
      }
      const where = Checker.where(line.dtp);
      if (inpatient) {
        this.error(where, `DTP*472 service dates are not sent on an inpatient claim (${billType})`);
        continue;
      }
      const served = dateRange(line.dtp.valueOf(2, ''), line.dtp.valueOf(3, ''));
      if (served && statement && (served[0] < statement[0] || served[1] > statement[1])) {
        this.error(where, `service date ${line.dtp.valueOf(3, '')} outside the statement period ${statement[0]}-${statement[1]}`);
      }
    }

    // Providers.
    const transportOnly = claim.lines.length > 0 &&
      claim.lines.every((line) => line.sv2 && isTransport(line.sv2.valueOf(1, '')));
    if (!claim.providers.has('71') && !transportOnly) {
      this.error(at, 'attending provider (2310A NM1*71) required');
    }
    if (claim.hi.has('HI principal procedure') && !claim.providers.has('72')) {
      this.error(at, 'operating physician (2310B NM1*72) required when a principal procedure is reported');
    }

    // Other payers: each with its own payer responsibility.
    const seen = new Map();
    if (claim.payer) seen.set(claim.payer.valueOf(1, ''), 'the subscriber level (2000B)');
    for (const sbr of claim.otherPayers) {
      const code = sbr.valueOf(1, '');
      if (seen.has(code)) {
        this.error(Checker.where(sbr), `SBR01 "${code}" of an other payer (2320) repeats the payer responsibility of ${seen.get(code)}`);
      } else {
        seen.set(code, 'an earlier other payer');
      }
    }
  }
}

module.exports = { InstitutionalChecker, INSTITUTIONAL };

if (require.main === module) {
  process.exitCode = professional.main(process.argv.slice(2), (file) => new InstitutionalChecker(file));
}
