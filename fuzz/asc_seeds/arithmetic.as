
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
