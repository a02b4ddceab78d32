// Scripts compiled by `tunewright-cli as compile` and run in Ruffle: what they trace must be what
// ActionScript 1 says they trace. Every expected line follows from the language as documented
// (the comments say which rule), not from our own output; cases that depend on the player's
// version name the version they are compiled for.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import { Harness } from "./harness.mjs";
import { cliPath as cli, sleep, tempDir } from "./lib/testing.mjs";

const ARITHMETIC = `
trace(1 + 2);
trace("1" + 2);             // + with a string operand joins strings
trace(7 / 2);               // division is never integer division
trace(7 % 3);
trace("3" * "4");           // the other operators convert to numbers
trace(10 - "4");
trace(1 + 2 + "3");         // left to right: 3 + "3"
trace("1" + 2 + 3);
trace(2 + 3 * 4);
trace((2 + 3) * 4);
trace(1 / 0);
trace(-1 / 0);
trace(0.1 + 0.2);           // numbers print with 15 significant digits
trace(1e3 + .5);
trace(true + 1);            // true is 1
trace(null == undefined);
trace(null === undefined);
trace(1 == "1");
trace(1 === "1");
trace(typeof null);         // AVM1 has a type of its own for null
trace(typeof undefined);
trace(typeof "s" + typeof 1 + typeof true);
trace(typeof {} + typeof [] + typeof function () {});
trace(5 > 3 && "yes");      // && and || give the operand that decided
trace(0 || "default");
trace(!0);
trace(~5);
trace((5 & 3) + "," + (5 | 3) + "," + (5 ^ 3));
trace((1 << 4) + "," + (-16 >> 2) + "," + (-1 >>> 28));
trace(int(3.7) + "," + int(-3.7));    // int() cuts toward zero
trace("a" < "b");
trace("10" < "9");          // two strings compare as strings
trace(10 < "9");            // a number and a string compare as numbers
trace(isNaN("abc") + "," + parseInt("42px"));
trace(String(5) + 1);
trace("end");
`;

// Flash Player 7 turns undefined into "undefined" and NaN; 6 and earlier into "" and 0.
const UNDEFINED = `
var u;
trace("[" + u + "]");
trace("[" + notDeclared + "]");
trace(u + 1);
trace(typeof u);
trace(u == null);
trace("end");
`;

// Flash Player 6 and earlier find names regardless of case.
const CASE = `
var Score = 10;
var score = 2;
trace(Score + score);
function Twice(n) { return N * 2; }
trace(Twice(4));
trace(typeof twice);
trace("end");
`;

const CLOSURES = `
var fs = [];
for (var i = 0; i < 3; i++) { fs.push(function () { return i; }); }
trace(fs[0]() + "," + fs[1]() + "," + fs[2]());    // the closures share the one variable i
function makeAdder(n) { return function (x) { return x + n; }; }
var add5 = makeAdder(5), add10 = makeAdder(10);
trace(add5(1) + "," + add10(1));
function counter() { var c = 0; return function () { c++; return c; }; }
var c1 = counter(), c2 = counter();
c1(); c1();
trace(c1() + "," + c2());                          // each call has its own c
function each(k) { return function () { return k * 10; }; }
var gs = [];
for (var j = 0; j < 3; j++) gs.push(each(j));
trace(gs[0]() + "," + gs[1]() + "," + gs[2]());    // a parameter per call
function inner() { var arr = []; for (var m = 0; m < 3; m++) arr.push(function () { return m; }); return arr; }
var lc = inner();
trace(lc[0]() + "," + lc[2]());                    // a function's local, shared like i
function outer() { var v = "before"; function get() { return v; } v = "after"; return get(); }
trace(outer());                                    // a closure reads the variable, not a copy
trace("end");
`;

const RECURSION = `
function fact(n) { return n <= 1 ? 1 : n * fact(n - 1); }
trace(fact(10));
function fib(n) { if (n < 2) return n; return fib(n - 1) + fib(n - 2); }
trace(fib(20));
var countdown = function cd(n) { return n == 0 ? "liftoff" : cd(n - 1); };
trace(countdown(50));                 // a function expression's name names it inside
function isEven(n) { return n == 0 ? true : isOdd(n - 1); }
function isOdd(n) { return n == 0 ? false : isEven(n - 1); }
trace(isEven(10) + "," + isOdd(7));
trace(sq(7));                         // function statements exist before the code runs
function sq(x) { return x * x; }
function hanoi(n, from, to, via) {
  if (n == 0) return 0;
  return hanoi(n - 1, from, via, to) + 1 + hanoi(n - 1, via, to, from);
}
trace(hanoi(10, "a", "c", "b"));
trace("end");
`;

// The order of for..in is not defined: the names are sorted before they are traced.
const FOR_IN = `
var o = {a: 1, b: 2, c: 3};
var keys = [];
for (var k in o) keys.push(k + "=" + o[k]);
keys.sort();
trace(keys.join(","));
var arr = ["x", "y", "z"];
var idx = [];
for (var i in arr) idx.push(i + arr[i]);
idx.sort();
trace(idx.join(","));
var n = 0;
for (var k2 in o) { n++; if (n == 2) break; }
trace(n);
function firstKey(obj) { for (var key in obj) { return "has " + key; } return "empty"; }
trace(firstKey({}) + "," + firstKey({q: 1}));
var count = 0;
for (var a1 in o) for (var a2 in o) { if (a2 == "b") continue; count++; }
trace(count);
o.d = 4;
delete o.a;
keys = [];
for (k in o) keys.push(k);
keys.sort();
trace(keys.join(","));
trace("end");
`;

// switch compares with === and runs on into the next case until a break.
const SWITCH = `
function sw(x) {
  var out = "";
  switch (x) {
    case 1: out += "one,";
    case 2: out += "two,"; break;
    case "3": out += "text three,"; break;
    case 3: out += "three,";
    default: out += "default,";
    case 4: out += "four";
  }
  return out;
}
trace(sw(1));
trace(sw(2));
trace(sw(3));
trace(sw("3"));
trace(sw(4));
trace(sw(9));
function grade(s) { switch (true) { case s >= 90: return "A"; case s >= 80: return "B"; default: return "C"; } }
trace(grade(95) + grade(85) + grade(10));
trace("end");
`;

const LABELS = `
var s = "";
outer: for (var i = 0; i < 3; i++) {
  for (var j = 0; j < 3; j++) {
    if (j == 1) continue outer;
    if (i == 2) break outer;
    s += i + "" + j + ";";
  }
}
trace(s);
blk: { s = "a"; if (s == "a") break blk; s = "b"; }
trace(s);
var k = 0, t = "";
while (true) { k++; if (k % 2) continue; if (k > 6) break; t += k; }
trace(t);
var d = 0;
do { d += 2; if (d == 4) continue; } while (d < 7);
trace(d);
search: for (var a = 0; a < 5; a++) { switch (a) { case 3: break search; default: continue search; } }
trace(a);
loops: while (true) { do { break loops; } while (true); }
trace("out");
trace("end");
`;

const TRY = `
function thrower(x) { if (x > 1) throw "too big: " + x; return x; }
function middle(x) { return thrower(x) * 10; }
try {
  trace(middle(1));
  trace(middle(5));
  trace("not reached");
} catch (e) {
  trace("caught " + e);
} finally {
  trace("finally 1");
}
try {
  try { throw {code: 42}; }
  catch (inner) { trace("inner " + inner.code); throw inner.code + 1; }
  finally { trace("inner finally"); }
} catch (outer) {
  trace("outer " + outer);
}
function withFinally() { try { return "returned"; } finally { trace("cleanup"); } }
trace(withFinally());                  // the finally block runs before the caller gets the value
for (var i = 0; i < 5; i++) {
  try { if (i == 2) break; trace("i" + i); } finally { trace("f" + i); }
}
trace("after loop " + i);
try { throw new Error("boom"); } catch (err) { trace(err.message); }
function safeDiv(a, b) { try { if (b == 0) throw "div0"; return a / b; } catch (e) { return "error " + e; } }
trace(safeDiv(6, 3) + "," + safeDiv(1, 0));
function loopTry() {
  var out = "";
  for (var j = 0; j < 4; j++) {
    try { if (j == 1) continue; if (j == 3) break; out += j; } finally { out += "f"; }
  }
  return out;
}
trace(loopTry());
trace("end");
`;

const PROTOTYPES = `
function Animal(name) { this.name = name; }
Animal.prototype.speak = function () { return this.name + " makes a sound"; };
Animal.prototype.legs = 4;
function Bird(name) { this.name = name; }
Bird.prototype = new Animal();
Bird.prototype.speak = function () { return this.name + " sings"; };
Bird.prototype.legs = 2;
var a = new Animal("cat"), b = new Bird("robin");
trace(a.speak());
trace(b.speak());
trace(a.legs + b.legs);
trace(b instanceof Bird);
trace(b instanceof Animal);
trace(a instanceof Bird);
trace(b.__proto__ == Bird.prototype);
Animal.prototype.eat = function () { return this.name + " eats"; };
trace(b.eat());                  // found on the chain, though added later
b.legs = 1;
trace(b.legs);
delete b.legs;
trace(b.legs);                   // the prototype's shows again
var p = new Object();
p.x = 5;
trace(p.x);
function Point(x, y) { this.x = x; this.y = y; }
Point.prototype.toString = function () { return "(" + this.x + "," + this.y + ")"; };
trace(new Point(1, 2) + "");     // turning an object into a string calls its toString
trace(new Point(3, 4).x);
trace("end");
`;

const CLIPS = `
trace(_root._x + "," + _root._y);
trace(_root._xscale);
trace(_root._currentframe + "/" + _root._totalframes);
trace(_root._visible);
var mc = _root.createEmptyMovieClip("box", 1);
mc._x = 25;
mc._y = 30;
trace(mc._x + "," + mc._y);
trace(mc._name);
trace(mc._target);                 // the slash path
trace(mc);                         // the dot path
trace(mc._parent == _root);
mc._xscale = 200;
trace(mc._xscale);
trace(getProperty(mc, _x));
setProperty(mc, _y, 45);
trace(mc._y);
mc._visible = false;
trace(mc._visible);
trace(_root.box == mc);
trace(typeof mc);
mc.removeMovieClip();
trace(typeof _root.box);
trace("end");
`;

// this is the object a function is called on; a frame script's this is its timeline.
const THIS = `
var obj = {name: "obj", getName: function () { return this.name; }};
trace(obj.getName());
var other = {name: "other"};
other.getName = obj.getName;
trace(other.getName());
function Counter() { this.count = 0; }
Counter.prototype.inc = function () { this.count++; return this; };
var cn = new Counter();
cn.inc().inc().inc();
trace(cn.count);
trace(this == _root);
var clip = _root.createEmptyMovieClip("h", 2);
clip.label = "clip h";
clip.onEnterFrame = function () {
  trace("enter " + this.label + " " + (this == clip) + " " + (this._parent == _root));
  delete this.onEnterFrame;
};
var point = {x: 3, y: 4};
with (point) { trace(x * y); }
trace("end");
`;

const UPDATES = `
var q = 5;
trace(q++); trace(q); trace(++q); trace(q--); trace(--q);
var o = {v: 1};
trace(o.v++); trace(++o.v); trace(o.v);
var arr = [10, 20];
arr[1] += 5;
arr[0] *= 3;
trace(arr);                                   // an array prints its elements with commas
var z = 10;
z += 5; z -= 3; z *= 2; z /= 4; trace(z);
z %= 4; trace(z);
z <<= 3; z >>= 1; z |= 1; z &= 5; z ^= 7; trace(z);
z = -16; z >>>= 28; trace(z);
var s = "a"; s += 1; s += true; trace(s);
var i = 0, j = 0;
var n = i++ + i++ + ++j;
trace(n + "," + i + "," + j);
var str = "5"; str++; trace(typeof str + str);   // ++ makes a number
var k = [1, 2, 3], p = 0;
k[p++] += 10;                                    // the index is evaluated once
trace(k + ";" + p);
function f() { var loc = {n: 1}; loc.n += loc.n++ * 2; return loc.n; }
trace(f());                                      // the old value is read before the right side runs
trace("end");
`;

const GLOBALS = `
trace(chr(65) + chr(97));
trace(ord("A"));
trace(length("hello"));
trace(substring("hello", 2, 3));      // substring counts from 1
trace(int("42") + int(7.9));
var r = random(10);
trace(r >= 0 && r < 10 && r == int(r));
trace(getTimer() >= 0);
var name = "dyn";
set(name, 42);
trace(dyn);
trace(eval("dyn") + 1);
var mc = _root.createEmptyMovieClip("tp", 3);
trace(targetPath(mc));
duplicateMovieClip(mc, "tp2", 4);
trace(typeof _root.tp2);
removeMovieClip(_root.tp2);
trace(typeof _root.tp2);
trace("end");
`;

// A jump cannot leave a with block directly; the compiled code still goes where break, continue
// and return say.
const WITH_EXITS = `
var point = {x: 3, y: 4}, out = "";
for (var n = 0; n < 4; n++) {
  with (point) {
    if (n == 1) continue;
    if (n == 3) break;
    out += x * y + n + ";";
  }
}
trace(out + n);
function find(list) {
  for (var i = 0; i < list.length; i++) {
    with (list[i]) { if (hit) return id; }
  }
  return "none";
}
trace(find([{hit: false, id: 1}, {hit: true, id: 2}]));
lbl: for (var a = 0; a < 2; a++) {
  for (var b = 0; b < 2; b++) { with (point) { if (b == 1) continue lbl; out = a + "" + b; } }
}
trace(out);
trace("end");
`;

// Locals in registers, one captured by a closure, and temporaries for computed members.
const REGISTERS = `
function key(k) { return k; }
function idx(i) { return i; }
function crunch(a, b) {
  var o = {x: 1, y: 2}, p = [5, 6, 7];
  o[key(a)] += p[idx(b)] -= 3;
  p[idx(0)] = o[key("y")] = 9;
  var keep = function () { return o.x; };
  o.x++;
  return o.x + "," + o.y + "," + p + "," + keep();
}
trace(crunch("x", 1));
function sum() { var t = 0; for (var i = 0; i < arguments.length; i++) t += arguments[i]; return t; }
trace(sum(1, 2, 3, 4));
trace("end");
`;

// tellTarget runs its body on another timeline: names like _name and _target are that clip's.
const TELL_TARGET = `
var mc = _root.createEmptyMovieClip("box", 1);
tellTarget ("box") { trace(_name); }
tellTarget (mc) trace(_target);
trace(_target);
trace("end");
`;

// Leaving a tellTarget early goes back to the movie's own timeline.
const TELL_TARGET_EXITS = `
_root.createEmptyMovieClip("box", 1);
for (var i = 0; i < 3; i++) {
  tellTarget ("box") {
    if (_root.i == 1) break;  // names here are the clip's
    trace(_name);
  }
}
trace(_target);
trace("end");
`;

// ifFrameLoaded runs its body when the frame is there, by number or by a value; what follows
// the body runs after it. (A movie that has loaded whole counts every frame as loaded, so the
// skipping itself is checked on the records.)
const IF_FRAME_LOADED = `
ifFrameLoaded(1) { trace("one"); var k = 2; trace(k); }
var f = 1;
ifFrameLoaded(f) trace("from a value");
trace("after");
trace("end");
`;

// Slash paths name variables of the root, a parent and a clip.
const SLASH_PATHS = `
/:x = 5;
trace(/:x);
_root.createEmptyMovieClip("clip", 1);
_root/clip:y = "in clip";
trace(_root.clip.y);
tellTarget ("clip") { ../:x++; }
trace(_root.x);
trace("end");
`;

const CASES = [
  {
    name: "arithmetic and string coercions",
    version: 8,
    source: ARITHMETIC,
    traces: [
      "3", "12", "3.5", "1", "12", "6", "33", "123", "14", "20", "Infinity", "-Infinity", "0.3",
      "1000.5", "2", "true", "false", "true", "false", "null", "undefined", "stringnumberboolean",
      "objectobjectfunction", "yes", "default", "true", "-6", "1,7,6", "16,-4,15", "3,-3", "true",
      "true", "false", "true,42", "51", "end",
    ],
  },
  {
    name: "undefined in strings and numbers",
    version: 7,
    source: UNDEFINED,
    traces: ["[undefined]", "[undefined]", "NaN", "undefined", "true", "end"],
  },
  {
    name: "undefined in strings and numbers",
    version: 6,
    source: UNDEFINED,
    traces: ["[]", "[]", "1", "undefined", "true", "end"],
  },
  { name: "names by case", version: 7, source: CASE, traces: ["12", "NaN", "undefined", "end"] },
  {
    name: "names regardless of case",
    version: 6,
    source: CASE,
    traces: ["4", "8", "function", "end"],
  },
  {
    name: "closures capturing loop variables",
    version: 8,
    source: CLOSURES,
    traces: ["3,3,3", "6,11", "3,1", "0,10,20", "3,3", "after", "end"],
  },
  {
    name: "closures capturing loop variables",
    version: 6,
    source: CLOSURES,
    traces: ["3,3,3", "6,11", "3,1", "0,10,20", "3,3", "after", "end"],
  },
  {
    name: "recursion",
    version: 8,
    source: RECURSION,
    traces: ["3628800", "6765", "liftoff", "true,true", "49", "1023", "end"],
  },
  {
    name: "recursion",
    version: 6,
    source: RECURSION,
    traces: ["3628800", "6765", "liftoff", "true,true", "49", "1023", "end"],
  },
  {
    name: "for..in over objects and arrays",
    version: 8,
    source: FOR_IN,
    traces: ["a=1,b=2,c=3", "0x,1y,2z", "2", "empty,has q", "6", "b,c,d", "end"],
  },
  {
    name: "for..in over objects and arrays",
    version: 5,
    source: FOR_IN,
    traces: ["a=1,b=2,c=3", "0x,1y,2z", "2", "empty,has q", "6", "b,c,d", "end"],
  },
  {
    name: "switch fall-through",
    version: 8,
    source: SWITCH,
    traces: ["one,two,", "two,", "three,default,four", "text three,", "four", "default,four", "ABC", "end"],
  },
  {
    name: "switch fall-through",
    version: 6,
    source: SWITCH,
    traces: ["one,two,", "two,", "three,default,four", "text three,", "four", "default,four", "ABC", "end"],
  },
  {
    name: "labelled break and continue",
    version: 8,
    source: LABELS,
    traces: ["00;10;", "a", "246", "8", "3", "out", "end"],
  },
  {
    name: "try, catch and finally with throw across functions",
    version: 7,
    source: TRY,
    traces: [
      "10", "caught too big: 5", "finally 1", "inner 42", "inner finally", "outer 43", "cleanup",
      "returned", "i0", "f0", "i1", "f1", "f2", "after loop 2", "boom", "2,error div0", "0ff2ff", "end",
    ],
  },
  {
    name: "prototype chains with new",
    version: 6,
    source: PROTOTYPES,
    traces: [
      "cat makes a sound", "robin sings", "6", "true", "true", "false", "true", "robin eats", "1", "2",
      "5", "(1,2)", "3", "end",
    ],
  },
  {
    name: "prototype chains with new",
    version: 8,
    source: PROTOTYPES,
    traces: [
      "cat makes a sound", "robin sings", "6", "true", "true", "false", "true", "robin eats", "1", "2",
      "5", "(1,2)", "3", "end",
    ],
  },
  {
    name: "movie clip properties",
    version: 8,
    source: CLIPS,
    traces: [
      "0,0", "100", "1/1", "true", "25,30", "box", "/box", "_level0.box", "true", "200", "25", "45",
      "false", "true", "movieclip", "undefined", "end",
    ],
  },
  {
    name: "this in methods and handlers",
    version: 8,
    source: THIS,
    traces: ["obj", "other", "3", "true", "12", "end", "enter clip h true true"],
  },
  {
    name: "increments and compound assignments",
    version: 8,
    source: UPDATES,
    traces: [
      "5", "6", "7", "7", "5", "1", "3", "3", "30,25", "6", "2", "6", "15", "a1true", "2,2,1",
      "number6", "11,2,3;1", "3", "end",
    ],
  },
  {
    name: "increments and compound assignments",
    version: 6,
    source: UPDATES,
    traces: [
      "5", "6", "7", "7", "5", "1", "3", "3", "30,25", "6", "2", "6", "15", "a1true", "2,2,1",
      "number6", "11,2,3;1", "3", "end",
    ],
  },
  {
    name: "global functions that are records",
    version: 8,
    source: GLOBALS,
    traces: ["Aa", "65", "5", "ell", "49", "true", "true", "42", "43", "_level0.tp", "movieclip", "undefined", "end"],
  },
  { name: "leaving with blocks", version: 8, source: WITH_EXITS, traces: ["12;14;3", "2", "10", "end"] },
  { name: "leaving with blocks", version: 6, source: WITH_EXITS, traces: ["12;14;3", "2", "10", "end"] },
  { name: "registers and temporaries", version: 8, source: REGISTERS, traces: ["5,9,9,3,7,5", "10", "end"] },
  { name: "tellTarget", version: 8, source: TELL_TARGET, traces: ["box", "/box", "/", "end"] },
  { name: "tellTarget left by break", version: 8, source: TELL_TARGET_EXITS, traces: ["box", "/", "end"] },
  { name: "ifFrameLoaded", version: 8, source: IF_FRAME_LOADED, traces: ["one", "2", "from a value", "after", "end"] },
  { name: "slash paths", version: 8, source: SLASH_PATHS, traces: ["5", "in clip", "6", "end"] },
  { name: "slash paths", version: 6, source: SLASH_PATHS, traces: ["5", "in clip", "6", "end"] },
];

// Played on after the last expected line, so that a repeated or extra line shows.
const SETTLE_MS = 400;

describe("compiled scripts in Ruffle", () => {
  let h;
  let temp;
  before(async () => {
    temp = tempDir("tw-asc-");
    h = await Harness.start();
  });
  after(async () => {
    await h?.close();
    temp?.cleanup();
  });

  CASES.forEach((c, n) => {
    test(`${c.name} (Flash ${c.version})`, { timeout: 60000 }, async () => {
      const script = path.join(temp.dir, `case${n}.as`);
      const movie = path.join(temp.dir, `case${n}.swf`);
      fs.writeFileSync(script, c.source);
      execFileSync(cli(), ["as", "compile", script, "-o", movie, "--flash-version", String(c.version)], {
        stdio: ["ignore", "pipe", "pipe"],
      });
      const session = await h.openMovie(movie);
      try {
        await session.waitForTrace(c.traces.at(-1), { timeoutMs: 15000 });
        await sleep(SETTLE_MS);
        assert.deepEqual(session.traces, c.traces);
        assert.deepEqual(session.errors, []);
        assert.equal(session.metadata.swfVersion, c.version);
      } finally {
        await session.close();
      }
    });
  });

  test("a script with an error makes no movie and says where", () => {
    const script = path.join(temp.dir, "bad.as");
    const movie = path.join(temp.dir, "bad.swf");
    fs.writeFileSync(script, "trace(1);\nfor (;;) {\n  trace(\"open);\n}\n");
    assert.throws(
      () => execFileSync(cli(), ["as", "compile", script, "-o", movie], { stdio: ["ignore", "pipe", "pipe"] }),
      (e) => e.status === 1 && e.stderr.toString() ===
        `tunewright-cli: error: ${script}:3:9: unterminated string: the closing " is missing on this line\n`,
    );
    assert.equal(fs.existsSync(movie), false);
  });
});
