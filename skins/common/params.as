// Reading the parameters the program hands a player or preloader in ParamsValue, and the small
// helpers every skin script uses. Every skin names this file first.

var twParams = new Object();

function twLog(text) {
  trace("tw: " + text);
}

function twNodeText(node) {
  if (node.firstChild == null) return "";
  return node.firstChild.nodeValue;
}

function twChild(node, name) {
  for (var c = node.firstChild; c != null; c = c.nextSibling) {
    if (c.nodeType == 1 && c.nodeName == name) return c;
  }
  return null;
}

function twReadParams(text) {
  var x = new XML();
  x.ignoreWhite = true;
  x.parseXML(text);
  var root = twChild(x, "ParamsValue");
  if (root == null) return;
  for (var n = root.firstChild; n != null; n = n.nextSibling) {
    if (n.nodeType == 1) twParams[n.nodeName] = twNodeText(n);
  }
}

// A parameter's value, or the fallback when the movie was given none.
function twParam(name, fallback) {
  var v = twParams[name];
  if (v == undefined) return fallback;
  return v;
}

function twYes(name, fallback) {
  return twParam(name, fallback).toLowerCase() == "yes";
}

function twNumber(name, fallback) {
  var v = parseInt(twParam(name, String(fallback)), 10);
  if (isNaN(v)) return fallback;
  return v;
}

// "0xRRGGBB" as a number.
function twColor(name, fallback) {
  var v = twParam(name, fallback);
  if (v.substr(0, 2) == "0x" || v.substr(0, 2) == "0X") v = v.substr(2);
  var n = parseInt(v, 16);
  if (isNaN(n)) n = parseInt(fallback.substr(2), 16);
  return n;
}

function twTint(clip, rgb) {
  var c = new Color(clip);
  c.setRGB(rgb);
}

