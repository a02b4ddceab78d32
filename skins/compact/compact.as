// The compact bar: tints, texts and bars follow the engine's state.

function cbShow() {
  var track = twCurrent();
  titleText.text = track == null ? "" : track.title;
  artistText.text = track == null ? "" : track.artist;
  var playing = twState.mode == "playing" || twState.mode == "loading";
  playIcon._visible = !playing;
  pauseIcon._visible = playing;
  var shown = twState.seconds;
  if (cbRemaining) shown = twState.duration - twState.seconds;
  timeText.text = (cbRemaining ? "-" : "") + twClock(shown) + " / " + twClock(twState.duration);
  var fraction = twState.duration > 0 ? twState.seconds / twState.duration : 0;
  if (fraction > 1) fraction = 1;
  seekFill._xscale = Math.max(fraction * 100, 0.1);
  volFill._xscale = Math.max(twState.volume, 0.1);
}

twHooks.update = cbShow;
twHooks.tracks = cbShow;

if (ParamsValue != undefined) twReadParams(ParamsValue);
var cbRemaining = twParam("Py.TimeDisplay", "Elapsed").toLowerCase() == "remaining";
var cbBg = twColor("Py.BgColor", "0x20262E");
var cbText = twColor("Py.TextColor", "0xFFFFFF");
var cbButton = twColor("Py.ButtonColor", "0x3FA9F5");
twTint(bg, cbBg);
twTint(prevFace, cbButton);
twTint(playFace, cbButton);
twTint(nextFace, cbButton);
twTint(prevIcon, cbBg);
twTint(playIcon, cbBg);
twTint(pauseIcon, cbBg);
twTint(nextIcon, cbBg);
twTint(seekFill, cbButton);
twTint(volFill, cbButton);
twTint(seekTrack, cbText);
twTint(volTrack, cbText);
seekTrack._alpha = 25;
volTrack._alpha = 25;
titleText.textColor = cbText;
artistText.textColor = cbText;
timeText.textColor = cbText;
twRun("compact");
