// Shows one district on its slot: button visible, name as caption, speed icons, tag.
#include "ui/district_buttons.h"

#include <string.h>

#include "app/launcher_dialog.h"
#include "components/safe_string.h"
#include "ui/image_value.h"

SpeedBand ChooseSpeedBand(int32_t operStatus, int32_t latency) {
  if (operStatus == OperStatusMaintenance) return SpeedBand::Down;
  // A probe still pending (or any other negative value) never measured anything: it is
  // drawn as a failed one, never as fast.
  if (latency < 0) latency = LatencyFailed;
  if (latency <= 70) return SpeedBand::Fast;
  if (latency <= 200) return SpeedBand::Normal;
  return SpeedBand::Slow;
}

SpeedIcons SpeedBandIcons(SpeedBand band) {
  switch (band) {
    case SpeedBand::Down:
      return {"fuwuqi_down.tga", "fuwuqi_down.tga", "fuwuqi_down.tga"};
    case SpeedBand::Fast:
      return {"fuwuqi_fast00.tga", "fuwuqi_fast01.tga", "fuwuqi_fast02.tga"};
    case SpeedBand::Normal:
      return {"fuwuqi_normal00.tga", "fuwuqi_normal01.tga", "fuwuqi_normal02.tga"};
    case SpeedBand::Slow:
      break;
  }
  return {"fuwuqi_slow00.tga", "fuwuqi_slow01.tga", "fuwuqi_slow02.tga"};
}

namespace {

// Writes one image-valued property between BeginValue and EndValue.
void SetImageProperty(PropertyWriter* writer, const char* name, const char* image,
                      PropertyBag* bag) {
  char value[ImageValueSize];
  BuildImageValue(image, value);
  writer->BeginValue(ValueKindImage);
  writer->SetProperty(name, value, bag);
  writer->EndValue();
}

}  // namespace

bool LauncherDialog::UpdateDistrictButton(int32_t group, int32_t martType, int32_t operStatus,
                                          int32_t position, const DistrictInfo* district,
                                          int32_t latency) {
  TCorvioPtr<PropertyWriter> writer;
  TCorvioPtr<PropertyBag> buttonBag;
  TCorvioPtr<PropertyBag> stateBag;
  SkinDialog* skin = dialog.component;
  if (!skin || !writer.component || !buttonBag.component || !stateBag.component) return false;

  const char* container = nullptr;
  if (group == Dx) container = "dx";
  else if (group == Wt) container = "wt";
  else return false;

  char buttonPath[1024] = {0};
  char tagPath[1024] = {0};
  SafeFormat(buttonPath, sizeof buttonPath, sizeof buttonPath - 1,
             "Dialog_ZentPorter\\Container_%s\\server%d\\Button", container, position);
  SafeFormat(tagPath, sizeof tagPath, sizeof tagPath - 1,
             "Dialog_ZentPorter\\Container_%s\\server%d\\Tag", container, position);

  const int buttonId = skin->FindControlByPath(buttonPath, 0);
  if (buttonId == 0) return false;

  const SpeedIcons icons = SpeedBandIcons(ChooseSpeedBand(operStatus, latency));
  PropertyWriter* w = writer.component;
  w->SetProperty("Visible", "true", buttonBag.component);
  skin->ApplyProperties(buttonId, buttonBag.component);
  w->SetProperty("Caption", district ? district->name : "", buttonBag.component);
  skin->ApplyProperties(buttonId, buttonBag.component);
  SetImageProperty(w, "Background", icons.normal, buttonBag.component);
  skin->ApplyProperties(buttonId, buttonBag.component);
  SetImageProperty(w, "BackgroundHover", icons.hover, stateBag.component);
  skin->ApplyProperties(buttonId, stateBag.component);
  SetImageProperty(w, "BackgroundPressed", icons.pressed, stateBag.component);
  skin->ApplyProperties(buttonId, stateBag.component);

  if (const char* tagImage = DistrictTagImage(martType)) {
    TCorvioPtr<PropertyBag> tagBag;
    if (!tagBag.component) return false;
    const int tagId = skin->FindControlByPath(tagPath, 0);
    if (tagId == 0) return false;
    w->SetProperty("Visible", "true", tagBag.component);
    skin->ApplyProperties(tagId, tagBag.component);
    SetImageProperty(w, "Background", tagImage, tagBag.component);
    skin->ApplyProperties(tagId, tagBag.component);
  }
  return true;
}
