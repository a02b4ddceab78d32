
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
