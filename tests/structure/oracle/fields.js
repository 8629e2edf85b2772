#!/usr/bin/env node
// Prints a file's fields as `quirn --fields` does (docs/fields-format.md),
// parsed by the reference compiler and runtime: the tests' oracle.
//   node fields.js DESCRIPTION.ksy FILE
// The packages are found through NODE_PATH (the test installs them).
'use strict';
const fs = require('fs');
const path = require('path');
const Module = require('module');
const yaml = require('js-yaml');
const compiler = require('kaitai-struct-compiler');
const KaitaiStream = require('kaitai-struct/KaitaiStream');

const MAX_BYTES = 32;
const MAX_STRING_BYTES = 1024;

// The runtime reads u8/s8 into doubles, losing digits past 2^53: the field's
// exact value is read again here and kept beside the debug positions.
function exactReader(name, signed, little) {
  const original = KaitaiStream.prototype[name];
  KaitaiStream.prototype[name] = function () {
    const at = this.pos;
    const value = original.call(this);
    const view = new DataView(this._buffer, this._byteOffset + at, 8);
    this._exact = signed ? view.getBigInt64(0, little) : view.getBigUint64(0, little);
    return value;
  };
}
exactReader('readU8be', false, false);
exactReader('readU8le', false, true);
exactReader('readS8be', true, false);
exactReader('readS8le', true, true);
for (const name of ['readBitsIntBe', 'readBitsIntLe']) {
  const original = KaitaiStream.prototype[name];
  KaitaiStream.prototype[name] = function (n) {
    this._bitRead = true;
    return original.call(this, n);
  };
}
KaitaiStream.prototype._takeRead = function () {
  const read = { exact: this._exact, bits: this._bitRead === true };
  this._exact = undefined;
  this._bitRead = false;
  return read;
};

// Adds to every debug record the bit position at its start and end, and
// what the last read was (an exact 64-bit value, a bit read).
function instrument(source) {
  return source
    .replace(/\{ start: this\._io\.pos, /g,
      '{ start: this._io.pos, startBit: this._io.pos * 8 - this._io.bitsLeft, ')
    .replace(/(this\._debug(?:\.[\w$]+|\[[^\]]+\])+)\.end = this\._io\.pos;/g,
      '$1.end = this._io.pos; $1.endBit = this._io.pos * 8 - this._io.bitsLeft; $1.read = this._io._takeRead();');
}

function importer(baseDir) {
  return {
    importYaml(name) {
      const file = name.startsWith('/') ? name : path.join(baseDir, name + '.ksy');
      return Promise.resolve(yaml.load(fs.readFileSync(file, 'utf8')));
    },
  };
}

function loadModules(files) {
  const cache = {};
  function load(name) {
    const key = name.replace(/^\.\//, '').replace(/\.js$/, '') + '.js';
    if (cache[key]) return cache[key].exports;
    if (!(key in files)) return require(name);
    const m = new Module(key, module);
    m.paths = module.paths;
    m.require = (request) => (request.startsWith('./') || request in files || request + '.js' in files
      ? load(request) : require(request));
    cache[key] = m;
    m._compile(instrument(files[key]), key);
    return m.exports;
  }
  return load;
}

function camel(id) {
  return id.split('_').map((s) => s.charAt(0).toUpperCase() + s.slice(1)).join('');
}

// The generated classes name members in lower camel case: the description's
// own names are found again from every id it declares.
function memberNames(description) {
  const names = new Map();
  names.instanceOrder = new Map();   // class name -> its instances' names, as declared
  const lowerCamel = (id) => id.replace(/_([a-z0-9])/g, (_, c) => c.toUpperCase());
  (function walk(type, name) {
    if (!type || typeof type !== 'object') return;
    names.instanceOrder.set(camel(name), Object.keys(type.instances || {}).map(lowerCamel));
    for (const attr of type.seq || []) if (attr && attr.id) names.set(lowerCamel(attr.id), attr.id);
    for (const id of Object.keys(type.instances || {})) names.set(lowerCamel(id), id);
    for (const [sub, subType] of Object.entries(type.types || {})) walk(subType, sub);
  })(description, description.meta.id);
  return names;
}

function hex(bytes) {
  return Buffer.from(bytes.buffer, bytes.byteOffset, Math.min(bytes.length, MAX_BYTES)).toString('hex');
}

function isStruct(v) {
  return v !== null && typeof v === 'object' && v._io instanceof KaitaiStream;
}

function scalar(v, line, debug) {
  if (v instanceof Uint8Array) {
    line.value = hex(v);
    line.length = v.length;
  } else if (typeof v === 'string') {
    const size = debug && debug.end !== undefined ? debug.end - debug.start : 0;
    if (size > MAX_STRING_BYTES) {
      line.value = Buffer.from(v, 'utf8').subarray(0, MAX_STRING_BYTES).toString('utf8').replace(/\uFFFD$/, '');
      line.length = size;
    } else {
      line.value = v;
    }
  } else if (typeof v === 'boolean') {
    line.value = v;
  } else if (typeof v === 'bigint') {
    line.value = Number.isSafeInteger(Number(v)) ? Number(v) : v.toString();
  } else if (typeof v === 'number') {
    if (debug && debug.read && debug.read.exact !== undefined && Number(debug.read.exact) === v) {
      const exact = debug.read.exact;
      line.value = (exact > 9007199254740992n || exact < -9007199254740992n) ? exact.toString() : Number(exact);
    } else if (Number.isNaN(v)) line.value = 'nan';
    else if (v === Infinity) line.value = 'inf';
    else if (v === -Infinity) line.value = '-inf';
    else if (Number.isInteger(v) && Math.abs(v) > 9007199254740992) line.value = BigInt(v).toString();
    else line.value = v;
  }
}

function json(v) {
  return Array.isArray(v) ? `[${v.map((x) => JSON.stringify(x)).join(', ')}]` : JSON.stringify(v);
}

class Printer {
  constructor(fileBuffer, namespace, names) {
    this.fileBuffer = fileBuffer;
    this.names = names;
    this.namespace = namespace;
    this.failed = false;
    this.out = [];
  }

  emit(line) {
    const parts = Object.keys(line).map((k) => `${JSON.stringify(k)}: ${json(line[k])}`);
    this.out.push(`{${parts.join(', ')}}\n`);
    if (this.out.length >= 10000) this.flush();
  }

  enumLabel(enumName, v) {
    let e = this.namespace;
    for (const part of enumName.split('.')) e = e && e[part];
    if (!e || e[v] === undefined || typeof e[v] !== 'string') return undefined;
    return e[v].toLowerCase();
  }

  // One field (or one element) with its debug record.
  field(p, v, debug, stream) {
    const line = { path: p };
    if (debug && debug.start !== undefined) {
      const bitField = debug.read && debug.read.bits;
      const startBit = bitField ? debug.startBit : debug.start * 8;
      line.offset = Math.floor(startBit / 8) + debug.ioOffset - stream.base;
      if (debug.end !== undefined) {
        if (bitField) {
          const count = debug.endBit - debug.startBit;
          line.size = Math.ceil(((startBit % 8) + count) / 8);
          line.bits = [startBit % 8, count];
        } else {
          line.size = debug.end - debug.start;
        }
      }
      if (stream.path) line.stream = stream.path;
    }
    const failed = debug && debug.start !== undefined && debug.end === undefined;
    if (Array.isArray(v)) {
      line.count = v.length;
      if (debug && debug.start === undefined) {   // a value instance
        line.value = v.slice(0, MAX_BYTES).map((x) => { const l = {}; scalar(x, l); return l.value; });
        this.emit(line);
        return;
      }
      if (failed) delete line.count;
      this.emit(line);
      const arr = (debug && debug.arr) || [];
      for (let i = 0; i < v.length; i++) this.field(`${p}[${i}]`, v[i], arr[i], stream);
      if (failed && arr.length > v.length) this.error(`${p}[${v.length}]`, arr[v.length], stream);
      return;
    }
    if (isStruct(v)) {
      if (debug && debug.start === undefined) { this.emit(line); return; }  // value instance
      this.emit(line);
      let inner = stream;
      if (v._io._buffer !== this.fileBuffer && v._io._buffer !== stream.buffer) {
        inner = { path: p, buffer: v._io._buffer, base: v._io.byteOffset };
      }
      this.struct(v, p + '.', inner);
      return;
    }
    if (v === undefined && failed) { this.error(p, debug, stream); return; }
    scalar(v, line, debug);
    if (debug && debug.enumName !== undefined && typeof v === 'number') {
      const label = this.enumLabel(debug.enumName, v);
      if (label !== undefined) line.enum = label;
    }
    if (failed) line.error = 'stopped';
    this.emit(line);
  }

  error(p, debug, stream, message) {
    const line = { path: p };
    if (debug && debug.start !== undefined) line.offset = debug.start + debug.ioOffset - stream.base;
    line.error = message || 'stopped';
    this.failed = true;
    this.emit(line);
  }

  flush() {
    // Standard output may be a non-blocking pipe: a full pipe is waited out.
    let data = Buffer.from(this.out.join(''));
    this.out = [];
    while (data.length) {
      try {
        data = data.subarray(fs.writeSync(1, data));
      } catch (e) {
        if (e.code !== 'EAGAIN') throw e;
        Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, 1);
      }
    }
  }

  name(member) {
    return this.names.get(member) || member;
  }

  struct(obj, prefix, stream) {
    const debug = obj._debug || {};
    for (const name of Object.keys(debug)) {
      if (name.startsWith('_m_')) continue;
      this.field(prefix + this.name(name), obj[name], debug[name], stream);
    }
    const proto = Object.getPrototypeOf(obj);
    const declared = this.names.instanceOrder.get(obj.constructor.name);
    const getters = Object.getOwnPropertyNames(proto);
    if (declared) getters.sort((a, b) => declared.indexOf(a) - declared.indexOf(b));
    for (const name of getters) {
      const d = Object.getOwnPropertyDescriptor(proto, name);
      if (!d.get || name.startsWith('_')) continue;
      let v;
      try {
        v = obj[name];
      } catch (e) {
        this.error(prefix + this.name(name), debug['_m_' + name], stream, String(e.message || e));
        continue;
      }
      if (v === undefined || v === null) continue;
      this.field(prefix + this.name(name), v, debug['_m_' + name] || {}, stream);
    }
  }
}

async function main() {
  const [ksyPath, filePath] = process.argv.slice(2);
  if (!ksyPath || !filePath) {
    process.stderr.write('usage: fields.js DESCRIPTION.ksy FILE\n');
    process.exit(2);
  }
  const description = yaml.load(fs.readFileSync(ksyPath, 'utf8'));
  let files;
  try {
    files = await compiler.compile('javascript', description, importer(path.dirname(ksyPath)), true);
  } catch (e) {
    process.stderr.write(`${ksyPath}: ${e.message || e}\n`);
    process.exit(1);
  }
  const topName = camel(description.meta.id);
  const load = loadModules(files);
  const namespace = load(`./${topName}.js`);
  const Top = namespace[topName];
  const data = fs.readFileSync(filePath);
  const stream = new KaitaiStream(new Uint8Array(data.buffer, data.byteOffset, data.length));
  const fileBuffer = stream._buffer;
  const root = new Top(stream);
  const printer = new Printer(fileBuffer, namespace, memberNames(description));
  let failure;
  try {
    root._read();
  } catch (e) {
    failure = e;
  }
  printer.struct(root, '', { path: undefined, buffer: fileBuffer, base: stream.byteOffset });
  printer.flush();
  if (failure || printer.failed) {
    process.stderr.write(`${filePath}: ${failure ? failure.message || failure : 'a field failed'}\n`);
    process.exit(1);
  }
}

main();
