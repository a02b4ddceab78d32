// The modern card: shades, texts and bars follow the engine's state.

var mdShown = null;  // the track the texts show
var mdNotice = "";   // and the notice they show

function mdShow() {
  var track = twCurrent();
  var notice = twNotice();
  if (track != mdShown || notice != mdNotice || track == null) {
    mdShown = track;
    mdNotice = notice;
    twFit(titleText, track == null ? "" : track.title);
    twFit(artistText, notice != "" ? notice : twArtistLine(track));
  }
  // A song that loads shows a dimmed play icon, not a pause icon at 0:00.
  pauseIcon._visible = twState.mode == "playing";
  playIcon._visible = !pauseIcon._visible;
  playIcon._alpha = twState.mode == "loading" ? 40 : 100;
  var fraction = twShownFraction();
  // While the seek bar is held the time shows where the song would go.
  twShowTime(timeText, mdRemaining, twState.seekHeld >= 0 ? fraction * twState.duration : twState.seconds);
  seekFill._xscale = Math.max(fraction * 100, 0.1);
  seekKnob._x = 16 + fraction * 234;
  volFill._xscale = Math.max(twState.volume, 0.1);
  waves._visible = twState.volume > 0;
  muted._visible = twState.volume == 0;
}

// Multiplies a drawing by the colour: white becomes the colour, greys darker shades of it, so
// that a gradient keeps its light in any colour.
function mdShade(clip, rgb) {
  var c = new Color(clip);
  c.setTransform({ra: (rgb >> 16 & 255) * 100 / 255, ga: (rgb >> 8 & 255) * 100 / 255,
                  ba: (rgb & 255) * 100 / 255, aa: 100, rb: 0, gb: 0, bb: 0, ab: 0});
}

twHooks.update = mdShow;
twHooks.tracks = mdShow;

if (ParamsValue != undefined) twReadParams(ParamsValue);
var mdRemaining = twParam("Py.TimeDisplay", "Elapsed").toLowerCase() == "remaining";
var mdBg = twColor("Py.BgColor", "0x272B45");
var mdText = twColor("Py.TextColor", "0xFFFFFF");
var mdAccent = twColor("Py.AccentColor", "0x7B61FF");
mdShade(card, mdBg);
mdShade(art, mdAccent);
mdShade(playFace, mdAccent);
mdShade(seekFill, mdAccent);
mdShade(volFill, mdAccent);
twTint(artNote, mdText);
twTint(prevIcon, mdText);
twTint(nextIcon, mdText);
twTint(playIcon, mdText);
twTint(pauseIcon, mdText);
twTint(speaker, mdText);
twTint(waves, mdText);
twTint(muted, mdText);
twTint(seekTrack, mdText);
twTint(volTrack, mdText);
twTint(seekKnob, mdText);
seekTrack._alpha = 18;
volTrack._alpha = 18;
artNote._alpha = 85;
titleText.textColor = mdText;
artistText.textColor = mdText;
artistText._alpha = 65;
timeText.textColor = mdText;
timeText._alpha = 65;
twRun("modern");
