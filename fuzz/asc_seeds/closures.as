
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
