#!/usr/bin/env node
// Checks that files are valid X12 837 professional claim interchanges
// (005010X222A1): the file is parsed with node-x12, an X12 parser that knows
// nothing of Quillon, and the parsed interchange is then held against the
// rules of the professional claim:
//
//   - envelope: ISA fixed widths and codes, IEA01/IEA02, GS/GE, ST/SE control
//     numbers and counts, ST02 unique within its group;
//   - layout of the text: segment terminator optionally followed by one line
//     end, no blank or other white space before a segment, no empty segment,
//     no trailing element separator, printable ASCII only;
//   - loops and segment order of the transaction set, required segments and
//     repeat limits;
//   - HL numbering, parents and HL04 (child flag), SBR02 "18" exactly when no
//     patient level follows, LX numbering within each claim;
//   - element usage, lengths, types, dates and code lists of the segments;
//   - claim balancing (CLM02 = sum of SV102) and diagnosis pointers.
//
// Usage: node check-837p.js [--transactions N] [--quiet] FILE...
//   --transactions N  also require exactly N transaction sets in each file
// Exit status: 0 all files valid, 1 some file invalid, 2 usage or read error.
//
// The checker takes its transaction set grammar, element tables and NM1
// rules from a rule set (PROFESSIONAL here); check-837i.js reuses the engine
// with the rule set of the institutional claim.
'use strict';

const fs = require('fs');
const { X12Parser } = require('node-x12');

const IMPLEMENTATION = '005010X222A1';

// ---------------------------------------------------------------------------
// Code lists

const US_STATES = new Set(
  ('AL AK AZ AR CA CO CT DE DC FL GA HI ID IL IN IA KS KY LA ME MD MA MI MN MS MO MT NE NV NH ' +
    'NJ NM NY NC ND OH OK OR PA RI SC SD TN TX UT VT VA WA WV WI WY AS GU MP PR VI FM MH PW AA AE ' +
    'AP AB BC MB NB NL NS NT NU ON PE QC SK YT').split(' '));

const PLACES_OF_SERVICE = new Set(
  ('01 02 03 04 05 06 07 08 09 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 31 32 33 ' +
    '34 41 42 49 50 51 52 53 54 55 56 57 58 60 61 62 65 71 72 81 99').split(' '));

const CLAIM_FILING = [
  '11', '12', '13', '14', '15', '16', '17', 'AM', 'BL', 'CH', 'CI', 'DS', 'FI', 'HM', 'LM', 'MA',
  'MB', 'MC', 'OF', 'TV', 'VA', 'WC', 'ZZ'];

const ID_QUALIFIERS = ['01', '14', '20', '27', '28', '29', '30', '33', 'ZZ'];

// ---------------------------------------------------------------------------
// Element specifications: usage R (required), S (situational), N (not used);
// type ID, AN, N0, R, DT, TM or a composite with its components.

function el(usage, type, min, max, codes) {
  return { usage, type, min, max, codes: codes ? new Set(codes) : null };
}
const R = (type, min, max, codes) => el('R', type, min, max, codes);
const S = (type, min, max, codes) => el('S', type, min, max, codes);
const N = () => el('N');
const comp = (usage, parts) => ({ usage, type: 'C', parts });

const DIAGNOSIS = (codes) => [R('ID', 1, 3, codes), R('AN', 1, 30)];

const ELEMENTS = {
  BHT: [R('ID', 4, 4, ['0019']), R('ID', 2, 2, ['00', '18']), R('AN', 1, 50), R('DT', 8, 8),
    R('TM', 4, 8), R('ID', 2, 2, ['31', 'CH', 'RP'])],
  NM1: [R('ID', 2, 3), R('ID', 1, 1, ['1', '2']), S('AN', 1, 60), S('AN', 1, 35), S('AN', 1, 25),
    N(), S('AN', 1, 10), S('ID', 1, 2), S('AN', 2, 80), N(), N(), N()],
  PER: [R('ID', 2, 2, ['IC']), S('AN', 1, 60), R('ID', 2, 2, ['EM', 'FX', 'TE']), R('AN', 1, 256),
    S('ID', 2, 2, ['EM', 'EX', 'FX', 'TE']), S('AN', 1, 256), S('ID', 2, 2, ['EM', 'EX', 'FX', 'TE']),
    S('AN', 1, 256), N()],
  HL: [R('AN', 1, 12), S('AN', 1, 12), R('ID', 1, 2, ['20', '22', '23']), R('ID', 1, 1, ['0', '1'])],
  PRV: [R('ID', 1, 3, ['BI', 'PE', 'RF', 'PT', 'SU', 'AT']), R('ID', 2, 3, ['PXC']), R('AN', 1, 50)],
  CUR: [R('ID', 2, 3, ['85']), R('ID', 3, 3)],
  N3: [R('AN', 1, 55), S('AN', 1, 55)],
  N4: [R('AN', 2, 30), S('ID', 2, 2, US_STATES), S('ID', 3, 15), S('ID', 2, 3), N(), N(),
    S('ID', 1, 3)],
  REF: [R('ID', 2, 3), R('AN', 1, 50), N(), N()],
  SBR: [R('ID', 1, 1, ['A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'P', 'S', 'T', 'U']),
    S('ID', 2, 2, ['18']), S('AN', 1, 50), S('AN', 1, 60),
    S('ID', 1, 3, ['12', '13', '14', '15', '16', '41', '42', '43', '47']), N(), N(), N(),
    S('ID', 1, 2, CLAIM_FILING)],
  PAT: [S('ID', 2, 2, ['01', '19', '20', '21', '39', '40', '53', 'G8']), N(), N(), N(),
    S('ID', 2, 3, ['D8']), S('AN', 1, 35), S('ID', 2, 2, ['01']), S('R', 1, 10), S('ID', 1, 1, ['Y'])],
  DMG: [R('ID', 2, 3, ['D8']), R('DT', 8, 8), R('ID', 1, 1, ['F', 'M', 'U'])],
  CLM: [R('AN', 1, 38), R('R', 1, 18), N(), N(),
    comp('R', [R('AN', 1, 2, PLACES_OF_SERVICE), R('ID', 1, 2, ['B']), R('ID', 1, 1, ['1', '7', '8'])]),
    R('ID', 1, 1, ['N', 'Y']), R('ID', 1, 1, ['A', 'B', 'C']), R('ID', 1, 1, ['N', 'W', 'Y']),
    R('ID', 1, 1, ['I', 'Y']), S('ID', 1, 1, ['P']),
    comp('S', [R('ID', 2, 3, ['AA', 'EM', 'OA']), S('ID', 2, 3, ['AA', 'EM', 'OA']), N(),
      S('ID', 2, 2, US_STATES), S('ID', 2, 3)]),
    S('ID', 2, 3, ['02', '03', '05', '09']), N(), N(), N(), N(), N(), N(), N(),
    S('ID', 1, 2, ['1', '2', '3', '4', '5', '6', '7', '8', '9', '10', '11', '15'])],
  DTP: [R('ID', 3, 3), R('ID', 2, 3, ['D8', 'RD8']), R('AN', 1, 35)],
  LX: [R('N0', 1, 6)],
  SV1: [
    comp('R', [R('ID', 2, 2, ['ER', 'HC', 'IV', 'WK']), R('AN', 1, 48), S('AN', 2, 2), S('AN', 2, 2),
      S('AN', 2, 2), S('AN', 2, 2), S('AN', 1, 80), N()]),
    R('R', 1, 18), R('ID', 2, 2, ['MJ', 'UN']), R('R', 1, 15), S('AN', 1, 2, PLACES_OF_SERVICE), N(),
    comp('R', [R('N0', 1, 2), S('N0', 1, 2), S('N0', 1, 2), S('N0', 1, 2)]), N(),
    S('ID', 1, 1, ['Y']), N(), S('ID', 1, 1, ['Y']), S('ID', 1, 1, ['Y']), N(), N(),
    S('ID', 1, 1, ['0'])],
  NTE: [R('ID', 3, 3, ['ADD', 'CER', 'DCP', 'DGN', 'TPO']), R('AN', 1, 80)],
  AMT: [R('ID', 1, 3, ['F5', 'T', 'AAE', 'NE']), R('R', 1, 18)],
};
// The first HI carries the principal diagnosis, later composites and later
// HI segments further codes.
ELEMENTS.HI = [comp('R', DIAGNOSIS(['ABK', 'BK']))].concat(
  Array.from({ length: 11 }, () => comp('S', DIAGNOSIS(['ABF', 'BF']))));
const OTHER_HI = Array.from({ length: 12 }, (unused, i) => comp(i === 0 ? 'R' : 'S', [
  R('ID', 1, 3, ['ABF', 'BF', 'BG', 'BP', 'BO', 'BQ', 'BR', 'BN', 'TC', 'PR', 'APR', 'ABN']),
  R('AN', 1, 30), S('ID', 2, 3), S('AN', 1, 35)]));

// ---------------------------------------------------------------------------
// Value checks

function validDate(text) {
  if (!/^\d{8}$/.test(text)) return false;
  const y = +text.slice(0, 4), m = +text.slice(4, 6), d = +text.slice(6, 8);
  if (m < 1 || m > 12 || d < 1) return false;
  const days = [31, (y % 4 === 0 && y % 100 !== 0) || y % 400 === 0 ? 29 : 28, 31, 30, 31, 30, 31,
    31, 30, 31, 30, 31];
  return d <= days[m - 1];
}

function validTime(text) {
  if (!/^\d{4}(\d{2}(\d{1,2})?)?$/.test(text)) return false;
  return +text.slice(0, 2) < 24 && +text.slice(2, 4) < 60 && (text.length < 6 || +text.slice(4, 6) < 60);
}

// The problem with one simple element value, or null.
function valueProblem(spec, value) {
  if (value.length === 0) return spec.usage === 'R' ? 'is required but empty' : null;
  if (spec.usage === 'N') return `is not used but holds "${value}"`;
  let length = value.length;
  switch (spec.type) {
    case 'N0':
      if (!/^-?\d+$/.test(value)) return `"${value}" is not a whole number`;
      length = value.replace('-', '').length;
      break;
    case 'R':
      if (!/^-?(\d+(\.\d*)?|\.\d+)$/.test(value)) return `"${value}" is not a decimal number`;
      length = value.replace(/[-.]/g, '').length;
      break;
    case 'DT':
      if (!validDate(value)) return `"${value}" is not a date CCYYMMDD`;
      break;
    case 'TM':
      if (!validTime(value)) return `"${value}" is not a time HHMM[SS]`;
      break;
    case 'ID':
      if (/\s/.test(value)) return `"${value}" is a code with white space`;
      break;
    default:
      break;
  }
  if (/^ /.test(value)) return `"${value}" starts with a blank`;
  if (/ $/.test(value)) return `"${value}" ends with a blank`;
  if (length < spec.min || length > spec.max) {
    return `"${value}" has ${length} characters, allowed ${spec.min}-${spec.max}`;
  }
  if (spec.codes && !spec.codes.has(value)) return `"${value}" is not an allowed code`;
  return null;
}

// ---------------------------------------------------------------------------
// The transaction set grammar: loops of segments in order. A loop starts with
// its first segment; `when` tells by qualifiers which segments an item takes.

const seg = (tag, min, max, when, opts = {}) => ({ kind: 'seg', tag, min, max, when, ...opts });
const loop = (name, min, max, items) => ({ kind: 'loop', name, min, max, items });
// The qualifier of an element: its value, or the first component of a composite.
let componentSeparator = ':';
const qualifier = (s, position) => (s.valueOf(position, '') || '').split(componentSeparator)[0];
const q = (position, ...codes) => (s) => codes.includes(qualifier(s, position));
const not = (f) => (s) => !f(s);
const ANY = () => true;
const MANY = 1e9;

const ADDRESS = [seg('N3', 1, 1, ANY), seg('N4', 1, 1, ANY)];

const LOOP_2400 = loop('2400', 1, 50, [
  seg('LX', 1, 1, ANY),
  seg('SV1', 1, 1, ANY),
  seg('SV5', 0, 1, ANY),
  seg('PWK', 0, 10, ANY),
  seg('CR1', 0, 1, ANY),
  seg('CR3', 0, 1, ANY),
  seg('CRC', 0, 3, ANY),
  seg('DTP', 1, 1, q(1, '472'), { name: 'DTP*472 service date' }),
  seg('DTP', 0, MANY, not(q(1, '472'))),
  seg('QTY', 0, 2, ANY),
  seg('MEA', 0, 5, ANY),
  seg('CN1', 0, 1, ANY),
  seg('REF', 0, MANY, ANY),
  seg('AMT', 0, 2, ANY),
  seg('K3', 0, 10, ANY),
  seg('NTE', 0, 2, ANY),
  seg('PS1', 0, 1, ANY),
  seg('HCP', 0, 1, ANY),
]);

const LOOP_2300 = loop('2300', 1, 100, [
  seg('CLM', 1, 1, ANY),
  seg('DTP', 0, MANY, ANY),
  seg('PWK', 0, 10, ANY),
  seg('CN1', 0, 1, ANY),
  seg('AMT', 0, 1, ANY),
  seg('REF', 0, MANY, ANY),
  seg('K3', 0, 10, ANY),
  seg('NTE', 0, 1, ANY),
  seg('CR1', 0, 1, ANY),
  seg('CR2', 0, 1, ANY),
  seg('CRC', 0, 8, ANY),
  seg('HI', 1, 1, q(1, 'ABK', 'BK'), { name: 'HI principal diagnosis', principal: true }),
  seg('HI', 0, MANY, not(q(1, 'ABK', 'BK')), { elements: OTHER_HI }),
  seg('HCP', 0, 1, ANY),
  loop('2310A', 0, 2, [seg('NM1', 1, 1, q(1, 'DN', 'P3')), seg('REF', 0, 3, ANY)]),
  loop('2310B', 0, 1, [seg('NM1', 1, 1, q(1, '82')), seg('PRV', 0, 1, ANY), seg('REF', 0, 4, ANY)]),
  loop('2310C', 0, 1, [seg('NM1', 1, 1, q(1, '77')), ...ADDRESS, seg('REF', 0, 3, ANY),
    seg('PER', 0, 1, ANY)]),
  loop('2310D', 0, 1, [seg('NM1', 1, 1, q(1, 'DQ')), seg('REF', 0, 4, ANY)]),
  loop('2310E', 0, 1, [seg('NM1', 1, 1, q(1, 'PW')), ...ADDRESS]),
  loop('2310F', 0, 1, [seg('NM1', 1, 1, q(1, '45')), ...ADDRESS]),
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
  seg('PAT', 0, 1, ANY),
  loop('2010BA', 1, 1, [seg('NM1', 1, 1, q(1, 'IL')), seg('N3', 0, 1, ANY), seg('N4', 0, 1, ANY),
    seg('DMG', 0, 1, ANY), seg('REF', 0, 2, ANY), seg('PER', 0, 1, ANY)]),
  loop('2010BB', 1, 1, [seg('NM1', 1, 1, q(1, 'PR')), seg('N3', 0, 1, ANY), seg('N4', 0, 1, ANY),
    seg('REF', 0, 5, ANY)]),
  { ...LOOP_2300, min: 0 },
  LOOP_2000C,
]);

const LOOP_2000A = loop('2000A', 1, MANY, [
  seg('HL', 1, 1, q(3, '20')),
  seg('PRV', 0, 1, q(1, 'BI')),
  seg('CUR', 0, 1, ANY),
  loop('2010AA', 1, 1, [seg('NM1', 1, 1, q(1, '85')), ...ADDRESS,
    seg('REF', 1, 1, q(1, 'EI', 'SY'), { name: 'REF*EI/SY tax id' }),
    seg('REF', 0, 2, not(q(1, 'EI', 'SY'))), seg('PER', 0, 2, ANY)]),
  loop('2010AB', 0, 1, [seg('NM1', 1, 1, q(1, '87')), ...ADDRESS]),
  loop('2010AC', 0, 1, [seg('NM1', 1, 1, q(1, 'PE')), seg('N3', 0, 1, ANY), seg('N4', 0, 1, ANY),
    seg('REF', 0, 2, ANY)]),
  LOOP_2000B,
]);

const TRANSACTION = loop('header', 1, 1, [
  seg('BHT', 1, 1, ANY),
  loop('1000A', 1, 1, [seg('NM1', 1, 1, q(1, '41')), seg('PER', 1, 2, ANY)]),
  loop('1000B', 1, 1, [seg('NM1', 1, 1, q(1, '40'))]),
  LOOP_2000A,
]);

// Entity-specific rules of NM1: allowed NM102, whether the name (NM103) is
// required, and the allowed id qualifiers (NM108; empty: no id allowed).
const NM1_RULES = {
  41: { types: ['1', '2'], name: true, ids: ['46'], idRequired: true },
  40: { types: ['2'], name: true, ids: ['46'], idRequired: true },
  85: { types: ['1', '2'], name: true, ids: ['XX'], idRequired: true },
  87: { types: ['1', '2'], name: false, ids: [], noName: true },
  PE: { types: ['2'], name: true, ids: ['PI', 'XV'], idRequired: true },
  IL: { types: ['1', '2'], name: true, ids: ['II', 'MI'], idRequired: true },
  PR: { types: ['2'], name: true, ids: ['PI', 'XV'], idRequired: true },
  QC: { types: ['1'], name: true, ids: [] },
  DN: { types: ['1'], name: true, ids: ['XX'] },
  P3: { types: ['1'], name: true, ids: ['XX'] },
  82: { types: ['1', '2'], name: true, ids: ['XX'] },
  77: { types: ['2'], name: true, ids: ['XX'] },
  DQ: { types: ['1'], name: true, ids: ['XX'] },
  PW: { types: ['2'], name: false, ids: [], noName: true },
  45: { types: ['2'], name: false, ids: [], noName: true },
};

const PROFESSIONAL = {
  name: '837P',
  program: 'check-837p',
  implementation: IMPLEMENTATION,
  elements: ELEMENTS,
  transaction: TRANSACTION,
  nm1: NM1_RULES,
};

// ---------------------------------------------------------------------------

class Checker {
  constructor(file, rules = PROFESSIONAL) {
    this.file = file;
    this.rules = rules;
    this.errors = [];
    this.stats = { transactions: 0, claims: 0, lines: 0, segments: 0 };
  }

  error(where, message) {
    this.errors.push(where ? `${where}: ${message}` : message);
  }

  // "line 12 NM1" for a parsed segment.
  static where(s) {
    const line = s.range && s.range.start ? s.range.start.line + 1 : '?';
    return `line ${line} ${s.tag}`;
  }

  // --- the text itself ---------------------------------------------------

  checkText(text) {
    if (!text.startsWith('ISA') || text.length < 106) {
      this.error('', 'the file does not start with an ISA segment of 106 characters');
      return null;
    }
    const sep = text[3];
    const terminator = text[105];
    const isa = text.slice(0, 106);
    const fields = isa.slice(0, 105).split(sep);
    const widths = [2, 10, 2, 10, 2, 15, 2, 15, 6, 4, 1, 5, 9, 1, 1, 1];
    if (fields.length !== 17) {
      this.error('ISA', `has ${fields.length - 1} elements instead of 16 within 106 characters`);
      return null;
    }
    widths.forEach((width, i) => {
      if (fields[i + 1].length !== width) {
        this.error('ISA', `ISA${String(i + 1).padStart(2, '0')} "${fields[i + 1]}" is not ${width} characters wide`);
      }
    });
    const isaCodes = [[1, ['00', '03']], [3, ['00', '01']], [5, ID_QUALIFIERS], [7, ID_QUALIFIERS],
      [12, ['00501']], [14, ['0', '1']], [15, ['P', 'T']]];
    for (const [i, codes] of isaCodes) {
      if (!codes.includes(fields[i])) this.error('ISA', `ISA${String(i).padStart(2, '0')} "${fields[i]}" is not an allowed code`);
    }
    if (fields[1] === '00' && fields[2].trim() !== '') this.error('ISA', 'ISA02 must be blank when ISA01 is 00');
    if (fields[3] === '00' && fields[4].trim() !== '') this.error('ISA', 'ISA04 must be blank when ISA03 is 00');
    for (const i of [6, 8]) {
      if (fields[i].trim() === '' || fields[i].startsWith(' ')) this.error('ISA', `ISA${String(i).padStart(2, '0')} "${fields[i]}" must be left-aligned and not blank`);
    }
    if (!/^\d{6}$/.test(fields[9]) || !validDate('20' + fields[9])) this.error('ISA', `ISA09 "${fields[9]}" is not a date YYMMDD`);
    if (!validTime(fields[10])) this.error('ISA', `ISA10 "${fields[10]}" is not a time HHMM`);
    if (!/^\d{9}$/.test(fields[13])) this.error('ISA', `ISA13 "${fields[13]}" is not 9 digits`);
    const repetition = fields[11];
    const component = fields[16];
    const delimiters = [sep, terminator, repetition, component];
    if (new Set(delimiters).size !== 4 || delimiters.some((d) => /[A-Za-z0-9 ]/.test(d))) {
      this.error('ISA', `delimiters ${JSON.stringify(delimiters)} must be four different special characters`);
    }

    // Segment by segment: one optional line end after each terminator,
    // nothing else between segments, no trailing separators.
    const raw = [];
    let line = 1;
    const pieces = text.split(terminator);
    const last = pieces.pop();
    if (!/^[\r\n]*$/.test(last)) this.error('', `text after the last segment terminator: ${JSON.stringify(last.slice(0, 20))}`);
    pieces.forEach((piece, index) => {
      let body = piece;
      if (index > 0) {
        const m = /^(\r?\n)?/.exec(body);
        body = body.slice(m[0].length);
        if (m[0]) line += 1;
      }
      const where = `line ${line}`;
      if (body.length === 0) {
        this.error(where, 'empty segment');
        return;
      }
      if (/^\s/.test(body)) this.error(where, `segment starts with white space: ${JSON.stringify(body.slice(0, 12))}`);
      const bad = /[^\x20-\x7e]/.exec(body);
      if (bad) this.error(where, `character U+${bad[0].charCodeAt(0).toString(16).padStart(4, '0')} is not allowed in X12 text`);
      const elements = body.split(sep);
      if (elements.length > 1 && elements[elements.length - 1] === '') {
        this.error(`${where} ${elements[0]}`, 'ends with an element separator (trailing empty element)');
      }
      raw.push({ tag: elements[0].trim(), elements: elements.slice(1), line });
    });
    return { isa: fields, raw, component, repetition };
  }

  // --- envelope -------------------------------------------------------------

  checkEnvelope(interchange, text) {
    const rawIea = text.raw[text.raw.length - 1];
    if (!rawIea || rawIea.tag !== 'IEA') {
      this.error('', 'the last segment is not IEA');
    } else {
      if (rawIea.elements[1] !== text.isa[13]) {
        this.error(`line ${rawIea.line} IEA`, `IEA02 "${rawIea.elements[1]}" differs from ISA13 "${text.isa[13]}"`);
      }
      if (String(interchange.functionalGroups.length) !== rawIea.elements[0]) {
        this.error(`line ${rawIea.line} IEA`, `IEA01 "${rawIea.elements[0]}" but ${interchange.functionalGroups.length} functional groups`);
      }
    }
    for (const group of interchange.functionalGroups) {
      const gs = group.header;
      this.checkElements(gs, [R('ID', 2, 2, ['HC']), R('AN', 2, 15), R('AN', 2, 15), R('DT', 8, 8),
        R('TM', 4, 8), R('N0', 1, 9), R('ID', 1, 2, ['X']), R('AN', 1, 12, [this.rules.implementation])]);
      const ge = group.trailer;
      if (!ge) {
        this.error(Checker.where(gs), 'functional group without GE');
        continue;
      }
      this.checkElements(ge, [R('N0', 1, 6), R('N0', 1, 9)]);
      if (ge.valueOf(1) !== String(group.transactions.length)) {
        this.error(Checker.where(ge), `GE01 "${ge.valueOf(1)}" but ${group.transactions.length} transaction sets`);
      }
      if (ge.valueOf(2) !== gs.valueOf(6)) {
        this.error(Checker.where(ge), `GE02 "${ge.valueOf(2)}" differs from GS06 "${gs.valueOf(6)}"`);
      }
      const controlNumbers = new Set();
      for (const transaction of group.transactions) {
        const st = transaction.header;
        const se = transaction.trailer;
        this.checkElements(st, [R('ID', 3, 3, ['837']), R('AN', 4, 9), R('AN', 1, 35, [this.rules.implementation])]);
        if (controlNumbers.has(st.valueOf(2))) {
          this.error(Checker.where(st), `ST02 "${st.valueOf(2)}" is used twice in the group`);
        }
        controlNumbers.add(st.valueOf(2));
        if (st.valueOf(3) !== gs.valueOf(8)) this.error(Checker.where(st), 'ST03 differs from GS08');
        if (!se) {
          this.error(Checker.where(st), 'transaction set without SE');
          continue;
        }
        this.checkElements(se, [R('N0', 1, 10), R('AN', 4, 9)]);
        const count = transaction.segments.length + 2;
        if (se.valueOf(1) !== String(count)) {
          this.error(Checker.where(se), `SE01 "${se.valueOf(1)}" but the transaction set has ${count} segments`);
        }
        if (se.valueOf(2) !== st.valueOf(2)) {
          this.error(Checker.where(se), `SE02 "${se.valueOf(2)}" differs from ST02 "${st.valueOf(2)}"`);
        }
        this.stats.transactions += 1;
        this.stats.segments += count;
        this.checkTransaction(transaction, text.component);
      }
    }
  }

  // --- elements ---------------------------------------------------------------

  checkElements(s, specs, component = ':') {
    const values = s.elements.map((e) => e.value);
    const where = Checker.where(s);
    if (values.length > specs.length) {
      this.error(where, `has ${values.length} elements, at most ${specs.length} are defined`);
    }
    specs.forEach((spec, i) => {
      const name = `${s.tag}${String(i + 1).padStart(2, '0')}`;
      const value = i < values.length ? values[i] : '';
      if (spec.type !== 'C') {
        const problem = valueProblem(spec, value);
        if (problem) this.error(where, `${name} ${problem}`);
        return;
      }
      if (value === '') {
        if (spec.usage === 'R') this.error(where, `${name} is required but empty`);
        return;
      }
      if (spec.usage === 'N') {
        this.error(where, `${name} is not used but holds "${value}"`);
        return;
      }
      const parts = value.split(component);
      if (parts.length > spec.parts.length) this.error(where, `${name} has ${parts.length} components, at most ${spec.parts.length}`);
      if (parts[parts.length - 1] === '') this.error(where, `${name} ends with a component separator`);
      spec.parts.forEach((part, j) => {
        const problem = valueProblem(part, j < parts.length ? parts[j] : '');
        if (problem) this.error(where, `${name}-${j + 1} ${problem}`);
      });
    });
  }

  // Rules of one segment that depend on its loop or on other elements.
  checkSegment(s, item, loopName, component) {
    const v = (i) => s.valueOf(i, '') || '';
    const specs = item.elements || this.rules.elements[s.tag];
    if (specs) this.checkElements(s, specs, component);
    const where = `${Checker.where(s)} (loop ${loopName})`;
    switch (s.tag) {
      case 'NM1': {
        const rule = item.nm1 || this.rules.nm1[v(1)];
        if (!rule) break;
        if (!rule.types.includes(v(2))) this.error(where, `NM102 "${v(2)}" not allowed for NM1*${v(1)}`);
        if (rule.name && !v(3)) this.error(where, 'NM103 name is required');
        if (rule.noName && (v(3) || v(8))) this.error(where, `NM1*${v(1)} carries no name or id`);
        if (v(2) === '2' && (v(4) || v(5) || v(7))) this.error(where, 'an organisation (NM102 2) has no first/middle name or suffix');
        if (v(8) && !rule.ids.includes(v(8))) this.error(where, `NM108 "${v(8)}" not allowed for NM1*${v(1)}`);
        if (!!v(8) !== !!v(9)) this.error(where, 'NM108 and NM109 go together');
        if (rule.idRequired && !v(8)) this.error(where, `NM1*${v(1)} needs an identifier (NM108/NM109)`);
        if (v(8) === 'XX' && !/^\d{10}$/.test(v(9))) this.error(where, `NPI "${v(9)}" is not 10 digits`);
        break;
      }
      case 'N4': {
        if (!v(4) && (!v(2) || !v(3))) this.error(where, 'a US address needs N402 state and N403 ZIP code');
        if (!v(4) && v(3) && !/^(\d{5}|\d{9})$/.test(v(3))) this.error(where, `ZIP code "${v(3)}" is not 5 or 9 digits`);
        if (loopName === '2010AA' && !/^\d{9}$/.test(v(3))) this.error(where, `billing provider ZIP code "${v(3)}" must have 9 digits`);
        break;
      }
      case 'PAT':
        if (item.patient && !v(1)) this.error(where, 'PAT01 relationship is required in the patient level');
        if (!item.patient && v(1)) this.error(where, 'PAT01 is not used in the subscriber level');
        break;
      case 'DTP':
        if (v(2) === 'D8' && !validDate(v(3))) this.error(where, `DTP03 "${v(3)}" is not a date CCYYMMDD`);
        if (v(2) === 'RD8') {
          const m = /^(\d{8})-(\d{8})$/.exec(v(3));
          if (!m || !validDate(m[1]) || !validDate(m[2]) || m[1] > m[2]) this.error(where, `DTP03 "${v(3)}" is not a date range`);
        }
        if (v(2) === 'DT' && !(/^\d{12}$/.test(v(3)) && validDate(v(3).slice(0, 8)) && validTime(v(3).slice(8)))) {
          this.error(where, `DTP03 "${v(3)}" is not a date and time CCYYMMDDHHMM`);
        }
        if (v(2) === 'TM' && !(/^\d{4}$/.test(v(3)) && validTime(v(3)))) this.error(where, `DTP03 "${v(3)}" is not a time HHMM`);
        break;
      case 'HI':
        for (const e of s.elements) {
          const code = e.value.split(component)[1] || '';
          if (code && !/^[A-Z0-9]+$/.test(code)) this.error(where, `diagnosis code "${code}" must be letters and digits only (no decimal point)`);
        }
        break;
      default:
        break;
    }
  }

  // --- loops --------------------------------------------------------------------

  checkTransaction(transaction, component) {
    const segs = transaction.segments;
    const claims = [];
    const context = { segs, pos: 0, component, claims, hl: [] };
    this.matchLoop(this.rules.transaction, context);
    if (context.pos < segs.length) {
      const s = segs[context.pos];
      this.error(Checker.where(s), `unexpected segment ${s.tag}*${s.valueOf(1, '')} here; the loops above end before it`);
    }
    this.checkHierarchy(context.hl);
    for (const claim of claims) this.checkClaim(claim, component);
  }

  itemMatches(item, s) {
    const first = item.kind === 'loop' ? item.items[0] : item;
    return s.tag === first.tag && first.when(s);
  }

  matchLoop(def, context) {
    for (const item of def.items) {
      let count = 0;
      while (context.pos < context.segs.length && this.itemMatches(item, context.segs[context.pos])) {
        const s = context.segs[context.pos];
        count += 1;
        if (count === item.max + 1) {
          this.error(Checker.where(s), `${item.kind === 'loop' ? 'loop ' + item.name : item.name || s.tag} repeats more than ${item.max} times (loop ${def.name})`);
        }
        if (item.kind === 'loop') {
          this.enterLoop(item, s, context);
          this.matchLoop(item, context);
          this.leaveLoop(item, context);
        } else {
          this.checkSegment(s, item, def.name, context.component);
          this.observe(s, item, def.name, context);
          context.pos += 1;
        }
      }
      if (count < item.min) {
        const at = context.pos < context.segs.length ? Checker.where(context.segs[context.pos]) : 'end of transaction set';
        const what = item.kind === 'loop' ? `loop ${item.name}` : item.name || item.tag;
        this.error(at, `required ${what} missing in loop ${def.name}`);
      }
    }
  }

  enterLoop(item, s, context) {
    if (item.name === '2300') {
      context.claim = { clm: s, lines: [], diagnoses: 0, hl: context.hl[context.hl.length - 1] };
      context.claims.push(context.claim);
      this.stats.claims += 1;
    }
    if (item.name === '2400') {
      context.claim.lines.push({ lx: s });
      this.stats.lines += 1;
    }
  }

  leaveLoop(item, context) {
    if (item.name === '2300') context.claim = null;
  }

  // Gathers what the cross-segment rules need.
  observe(s, item, loopName, context) {
    const hl = context.hl[context.hl.length - 1];
    switch (s.tag) {
      case 'HL':
        context.hl.push({ seg: s, id: s.valueOf(1, ''), parent: s.valueOf(2, ''), level: s.valueOf(3, ''), child: s.valueOf(4, ''), segments: new Set(), claims: 0 });
        break;
      case 'SBR':
        if (loopName === '2000B') hl.sbr = s;  // not the SBR of another payer (2320)
        break;
      case 'CLM':
        hl.claims += 1;
        break;
      case 'HI':
        context.claim.diagnoses += s.elements.filter((e) => e.value !== '').length * (item.principal || /^(ABF|BF)$/.test(s.valueOf(1, '').split(context.component)[0]) ? 1 : 0);
        break;
      case 'SV1': {
        const lines = context.claim.lines;
        lines[lines.length - 1].sv1 = s;
        break;
      }
      default:
        break;
    }
    if (hl && loopName === '2010BA') hl.segments.add(s.tag);
  }

  checkHierarchy(levels) {
    const byId = new Map();
    levels.forEach((hl, index) => {
      const where = Checker.where(hl.seg);
      if (hl.id !== String(index + 1)) this.error(where, `HL01 "${hl.id}" should be ${index + 1} (levels are numbered 1, 2, 3... in order)`);
      const parent = byId.get(hl.parent);
      const wanted = { 20: null, 22: '20', 23: '22' }[hl.level];
      if (wanted === null && hl.parent !== '') this.error(where, 'the billing provider level has no parent (HL02 empty)');
      if (wanted && (!parent || parent.level !== wanted)) {
        this.error(where, `HL02 "${hl.parent}" must name an earlier level ${wanted}`);
      }
      const hasChild = levels.some((other) => other.parent === hl.id && hl.id !== '');
      if (hl.child !== (hasChild ? '1' : '0')) {
        this.error(where, `HL04 "${hl.child}" but the level ${hasChild ? 'has' : 'has no'} child levels`);
      }
      if (hl.level === '22' && hl.sbr) {
        const self = hl.sbr.valueOf(2, '') === '18';
        if (self === hasChild) {
          this.error(Checker.where(hl.sbr), hasChild ? 'SBR02 must be empty when a patient level (2000C) follows'
            : 'SBR02 must be 18 when the subscriber is the patient (no patient level)');
        }
        if (self) {
          for (const tag of ['N3', 'N4', 'DMG']) {
            if (!hl.segments.has(tag)) this.error(where, `the subscriber is the patient: 2010BA needs ${tag}`);
          }
        }
        if (hasChild && hl.claims > 0) this.error(where, 'claims of a dependant patient belong under the patient level');
      }
      if (hl.level === '22' && !hasChild && hl.claims === 0) this.error(where, 'subscriber level without claims or patient levels');
      byId.set(hl.id, hl);
    });
  }

  checkLineNumbers(claim) {
    claim.lines.forEach((line, index) => {
      if (line.lx.valueOf(1, '') !== String(index + 1)) {
        this.error(Checker.where(line.lx), `LX01 "${line.lx.valueOf(1, '')}" should be ${index + 1} (lines are numbered 1, 2, 3... in each claim)`);
      }
    });
  }

  checkClaim(claim, component) {
    this.checkLineNumbers(claim);
    let total = 0;
    claim.lines.forEach((line) => {
      if (!line.sv1) return;
      total += Math.round(parseFloat(line.sv1.valueOf(2, '0')) * 100);
      for (const pointer of (line.sv1.valueOf(7, '') || '').split(component)) {
        if (pointer && (+pointer < 1 || +pointer > claim.diagnoses)) {
          this.error(Checker.where(line.sv1), `diagnosis pointer ${pointer} but the claim has ${claim.diagnoses} diagnosis codes`);
        }
      }
    });
    const charged = Math.round(parseFloat(claim.clm.valueOf(2, '0')) * 100);
    if (charged !== total) {
      this.error(Checker.where(claim.clm), `CLM02 ${claim.clm.valueOf(2, '')} differs from the sum of the line charges ${(total / 100).toFixed(2)}`);
    }
  }

  run(text, expectedTransactions) {
    const layout = this.checkText(text);
    const parser = new X12Parser(false);
    let interchange;
    try {
      interchange = parser.parse(text);
    } catch (e) {
      this.error('', `node-x12 cannot parse the file: ${e.message}`);
      return;
    }
    for (const d of parser.diagnostics) {
      this.error(d.range && d.range.start ? `line ${d.range.start.line + 1}` : '', `node-x12: ${d.message}`);
    }
    if (!interchange || !interchange.functionalGroups || Array.isArray(interchange.interchanges)) {
      this.error('', 'the file is not exactly one interchange');
      return;
    }
    if (!layout) return;
    componentSeparator = layout.component;
    const parsedCount = 2 + interchange.functionalGroups.reduce(
      (n, g) => n + 2 + g.transactions.reduce((m, t) => m + t.segments.length + 2, 0), 0);
    if (parsedCount !== layout.raw.length) {
      this.error('', `node-x12 found ${parsedCount} segments, the text has ${layout.raw.length}`);
    }
    this.checkEnvelope(interchange, layout);
    if (expectedTransactions !== undefined && this.stats.transactions !== expectedTransactions) {
      this.error('', `${this.stats.transactions} transaction sets, expected ${expectedTransactions}`);
    }
  }
}

// The command line; `makeChecker` gives the checker of one file (the
// 837P checker unless another rule set's program passes its own).
function main(argv, makeChecker = (file) => new Checker(file)) {
  const { name, program, implementation } = makeChecker('').rules;
  const usage = `usage: ${program}.js [--transactions N] [--quiet] FILE...`;
  const files = [];
  let expected;
  let quiet = false;
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === '--transactions' && i + 1 < argv.length) {
      expected = Number(argv[++i]);
      if (!Number.isInteger(expected) || expected < 0) {
        console.error(`${program}: --transactions needs a whole number, got "${argv[i]}"`);
        return 2;
      }
    } else if (argv[i] === '--quiet') {
      quiet = true;
    } else if (argv[i].startsWith('--')) {
      console.error(`${program}: unknown option ${argv[i]}\n${usage}`);
      return 2;
    } else {
      files.push(argv[i]);
    }
  }
  if (files.length === 0) {
    console.error(usage);
    return 2;
  }
  let status = 0;
  for (const file of files) {
    let text;
    try {
      text = fs.readFileSync(file, 'latin1');
    } catch (e) {
      console.error(`${file}: cannot read: ${e.message}`);
      return 2;
    }
    const checker = makeChecker(file);
    checker.run(text, expected);
    const { transactions, claims, lines, segments } = checker.stats;
    if (checker.errors.length === 0) {
      if (!quiet) {
        console.log(`${file}: valid ${name} (${implementation}): ${transactions} transaction sets, ${claims} claims, ` +
          `${lines} service lines, ${segments} segments in transaction sets, ${text.length} bytes`);
      }
    } else {
      status = 1;
      console.log(`${file}: INVALID, ${checker.errors.length} problems:`);
      for (const e of checker.errors) console.log(`  ${e}`);
    }
  }
  return status;
}

if (require.main === module) {
  process.exitCode = main(process.argv.slice(2));
}

module.exports = {
  Checker,
  main,
  PROFESSIONAL,
  ELEMENTS,
  NM1_RULES,
  codes: { US_STATES, CLAIM_FILING, ID_QUALIFIERS },
  grammar: { el, R, S, N, comp, seg, loop, q, not, ANY, MANY },
  validDate,
  validTime,
};
