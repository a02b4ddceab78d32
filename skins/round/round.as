// The round button: the ring shows how far the song has gone (drawn at run time into the clip
// progress, which lies under the title's band).

var rdOver = false;
var rdTitled = null;  // the track the band shows

function rdHover(over) {
  rdOver = over;
  rdShowTitle();
}

function rdShowTitle() {
  var track = twCurrent();
  var shown = rdOver && track != null;
  tipBg._visible = shown;
  tipText._visible = shown;
  if (shown && track != rdTitled) {
    rdTitled = track;
    twFit(tipText, track.title);
  }
}

function rdShow() {
  rdShowTitle();
  // A song that loads shows a dimmed play icon, not a pause icon at 0:00.
  pauseIcon._visible = twState.mode == "playing";
  playIcon._visible = !pauseIcon._visible;
  playIcon._alpha = twState.mode == "loading" ? 40 : 100;
  var fraction = twState.duration > 0 ? twState.seconds / twState.duration : 0;
  if (fraction > 1) fraction = 1;
  var steps = Math.round(fraction * 48);
  if (steps == rdDrawn) return;
  rdDrawn = steps;
  // A band between the face (radius 32) and the ring's edge: it never covers the button.
  var arc = progress;
  arc.clear();
  if (steps == 0) return;
  arc.beginFill(rdButton, 100);
  var i;
  var a;
  for (i = 0; i <= steps; i++) {
    a = (i / 48) * 2 * Math.PI - Math.PI / 2;
    if (i == 0) arc.moveTo(Math.cos(a) * 38, Math.sin(a) * 38);
    else arc.lineTo(Math.cos(a) * 38, Math.sin(a) * 38);
  }
  for (i = steps; i >= 0; i--) {
    a = (i / 48) * 2 * Math.PI - Math.PI / 2;
    arc.lineTo(Math.cos(a) * 34, Math.sin(a) * 34);
  }
  arc.endFill();
}

if (ParamsValue != undefined) twReadParams(ParamsValue);
var rdDrawn = -1;
var rdNextOnClick = twParam("Py.Click", "Play/Pause").toLowerCase() == "next song";
var rdRing = twColor("Py.BgColor", "0x2B2B2B");
var rdIcon = twColor("Py.TextColor", "0xFFFFFF");
var rdButton = twColor("Py.ButtonColor", "0x27AE60");
twTint(ring, rdRing);
twTint(face, rdButton);
twTint(playIcon, rdIcon);
twTint(pauseIcon, rdIcon);
twTint(tipBg, rdIcon);
tipText.textColor = rdRing;
rdShowTitle();
twHooks.update = rdShow;
twHooks.tracks = rdShow;
twRun("round");
