preHooks.show = function(percent) {
  barFill._xscale = Math.max(percent, 0.1);
  percentText.text = percent + "%";
};

if (ParamsValue != undefined) twReadParams(ParamsValue);
var barColor = twColor("Bg.Color", "0x3FA9F5");
var barBg = twColor("Bg.BgColor", "0x20262E");
twTint(bg, barBg);
twTint(barTrack, barColor);
barTrack._alpha = 25;
twTint(barFill, barColor);
percentText.textColor = barColor;
preRun();
