// ActionScript 2 classes compiled by `tunewright-cli as compile` with a class path and run in
// Ruffle for Flash Player 6, 7 and 8. The expected lines follow from the language as documented:
// a class's members are reached by their names alone in its methods (instance members through
// this, static ones through the class), methods are looked up along the prototype chain, a
// constructor that does not call super() calls it first, get and set methods make a property,
// the members of a prototype are hidden from for..in, and instanceof follows the chain (and the
// interfaces, which only Flash Player 7 and later record). All programs of a version run in one
// movie, one page load per version.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import { Harness } from "./harness.mjs";
import { cliPath as cli, sleep, tempDir } from "./lib/testing.mjs";

// The class path: a package of shapes three deep, an interface, statics, and properties.
const CLASSES = {
  "IArea.as": `interface IArea {
  function area():Number;
}`,
  "shapes/Shape.as": `class shapes.Shape {
  var name:String = "shape";
  static var made:Number = 0;
  function Shape(n:String) {
    if (n != undefined) name = n;
    made++;
  }
  function area():Number { return 0; }
  function describe():String { return name + " of area " + area(); }
  function toString():String { return "[" + name + "]"; }
}`,
  "shapes/Rect.as": `import shapes.Shape;
class shapes.Rect extends Shape implements IArea {
  var w:Number;
  var h:Number;
  function Rect(w:Number, h:Number) {
    super("rect");
    this.w = w;
    this.h = h;
  }
  function area():Number { return w * h; }
}`,
  "shapes/Square.as": `class shapes.Square extends Rect {
  function Square(side:Number) {
    super(side, side);
    name = "square";
  }
  function describe():String { return "square! " + super.describe(); }
}`,
  "shapes/Circle.as": `class shapes.Circle extends Shape {
  var r:Number = 1;
  function area():Number { return Math.round(3 * r * r); }
}`,
  "util/Counter.as": `class util.Counter {
  static var total:Number = 0;
  static var step:Number = 2;
  static function next():Number {
    total += step;
    return total;
  }
}`,
  "util/Temperature.as": `class util.Temperature {
  private var c:Number = 0;
  function get celsius():Number { return c; }
  function set celsius(v:Number):Void { c = v; }
  function get fahrenheit():Number { return c * 9 / 5 + 32; }
  function set fahrenheit(v:Number):Void { c = (v - 32) * 5 / 9; }
  static function get scale():String { return "C"; }
}`,
};

const PROGRAMS = [
  {
    name: "defined before the first frame",
    source: `trace(typeof _global.shapes.Square + " " + typeof _global.util.Counter);`,
    traces: ["function function"],
  },
  {
    name: "inheritance three deep, super and overriding",
    source: `import shapes.*;
var sq:Square = new Square(3);
var rc = new Rect(2, 5);
var ci = new shapes.Circle();
trace(sq.area());
trace(rc.describe());
trace(sq.describe());
trace(ci.describe());
trace(sq);
trace(Shape.made);`,
    traces: ["9", "rect of area 10", "square! square of area 9", "shape of area 3", "[square]", "3"],
  },
  {
    name: "instanceof along the chain",
    source: `trace((sq instanceof Square) + "," + (sq instanceof Rect) + "," + (sq instanceof Shape) + "," + (sq instanceof Object));
trace((rc instanceof Square) + "," + (ci instanceof Rect));`,
    traces: ["true,true,true,true", "false,false"],
  },
  {
    name: "instanceof an interface",
    versions: [7, 8],
    source: `trace((sq instanceof IArea) + "," + (rc instanceof IArea) + "," + (ci instanceof IArea));`,
    traces: ["true,true,false"],
  },
  {
    name: "static members",
    source: `import util.Counter;
trace(Counter.next() + "," + Counter.next() + "," + Counter.total);`,
    traces: ["2,4,4"],
  },
  {
    name: "get and set properties",
    source: `var t = new util.Temperature();
t.celsius = 100;
trace(t.fahrenheit);
t.fahrenheit = 32;
trace(t.celsius);
trace(util.Temperature.scale);`,
    traces: ["212", "0", "C"],
  },
  {
    name: "prototype members hidden from for..in",
    source: `var keys = [];
for (var k:String in sq) keys.push(k);
keys.sort();
trace(keys.join(","));`,
    traces: ["h,name,w"],
  },
  {
    name: "type annotations everywhere",
    source: `function twice(n:Number):Number { var r:Number = n * 2; return r; }
var x:Number = 1;
trace(twice(21) + x);`,
    traces: ["43"],
  },
];

const SETTLE_MS = 400;

describe("ActionScript 2 classes in Ruffle", () => {
  let h;
  let temp;
  before(async () => {
    temp = tempDir("tw-as2-");
    for (const [file, text] of Object.entries(CLASSES)) {
      const target = path.join(temp.dir, "classes", file);
      fs.mkdirSync(path.dirname(target), { recursive: true });
      fs.writeFileSync(target, text);
    }
    h = await Harness.start();
  });
  after(async () => {
    await h?.close();
    temp?.cleanup();
  });

  for (const version of [6, 7, 8]) {
    test(`class programs (Flash ${version})`, { timeout: 60000 }, async () => {
      const programs = PROGRAMS.filter((p) => !p.versions || p.versions.includes(version));
      const expected = [...programs.flatMap((p) => p.traces), "end"];
      const script = path.join(temp.dir, `main${version}.as`);
      const movie = path.join(temp.dir, `main${version}.swf`);
      fs.writeFileSync(script, programs.map((p) => `// ${p.name}\n${p.source}\n`).join("") + `trace("end");\n`);
      execFileSync(cli(), ["as", "compile", script, "-o", movie, "--flash-version", String(version),
        "--class-path", path.join(temp.dir, "classes")], { stdio: ["ignore", "pipe", "pipe"] });
      const session = await h.openMovie(movie);
      try {
        await session.waitForTrace("end", { timeoutMs: 15000 });
        await sleep(SETTLE_MS);
        assert.deepEqual(session.traces, expected);
        assert.deepEqual(session.errors, []);
        assert.equal(session.metadata.swfVersion, version);
      } finally {
        await session.close();
      }
    });
  }
});
