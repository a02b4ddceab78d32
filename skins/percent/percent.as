preHooks.show = function(percent) {
  percentText.text = percent + "%";
};

if (ParamsValue != undefined) twReadParams(ParamsValue);
var pcText = twColor("Bg.Color", "0xFFFFFF");
twTint(disc, twColor("Bg.BgColor", "0x8E44AD"));
percentText.textColor = pcText;
labelText.textColor = pcText;
preRun();
