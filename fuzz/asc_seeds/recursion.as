
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
