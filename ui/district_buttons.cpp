// Shows one district on its slot: button visible, name as caption, speed icons, tag.
#include "ui/district_buttons.h"

#include <string.h>

#include "app/launcher_dialog.h"
#include "components/safe_string.h"
#include "ui/image_value.h"
#include "ui/messages.h"

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

// The speed icons of one band on a button: the normal image in `iconBag`, hover and
// pressed in `stateBag`, as the first drawing has always sent them.
void ApplySpeedIcons(SkinDialog* skin, int buttonId, PropertyWriter* w, const SpeedIcons& icons,
                     PropertyBag* iconBag, PropertyBag* stateBag) {
  SetImageProperty(w, "Background", icons.normal, iconBag);
  skin->ApplyProperties(buttonId, iconBag);
  SetImageProperty(w, "BackgroundHover", icons.hover, stateBag);
  skin->ApplyProperties(buttonId, stateBag);
  SetImageProperty(w, "BackgroundPressed", icons.pressed, stateBag);
  skin->ApplyProperties(buttonId, stateBag);
}

void ApplyTooltip(SkinDialog* skin, int buttonId, PropertyWriter* w, const char* name, int32_t latency) {
  TCorvioPtr<PropertyBag> bag;
  if (!bag.component) return;
  char tooltip[sizeof(DistrictInfo::name) + 32] = {0};
  DistrictTooltip(name, latency, tooltip, sizeof tooltip);
  w->SetProperty("Tooltip", tooltip, bag.component);
  skin->ApplyProperties(buttonId, bag.component);
}

}  // namespace

void DistrictTooltip(const char* name, int32_t latency, char* out, size_t size) {
  if (!out || size == 0) return;
  char state[32] = {0};
  if (latency < 0) SafeFormat(state, sizeof state, sizeof state - 1, "%s", kMsgMeasuring);
  else if (latency >= LatencyFailed) SafeFormat(state, sizeof state, sizeof state - 1, "%s", kMsgNoAnswer);
  else SafeFormat(state, sizeof state, sizeof state - 1, "%d ms", static_cast<int>(latency));
  SafeFormat(out, static_cast<int>(size), static_cast<int>(size) - 1, "%s %s", name ? name : "", state);
}

bool DistrictButtonPath(int32_t group, int32_t position, char* out, size_t size) {
  const char* container = group == Dx ? "dx" : group == Wt ? "wt" : nullptr;
  if (!container || !out || size == 0) return false;
  SafeFormat(out, static_cast<int>(size), static_cast<int>(size) - 1, "Dialog_ZentPorter\\Container_%s\\server%d\\Button", container,
             static_cast<int>(position));
  return true;
}

bool ShowDistrictLatency(SkinDialog* skin, int32_t group, int32_t position,
                         const DistrictInfo& district, int32_t latency, bool icons) {
  char buttonPath[1024] = {0};
  if (!skin || !DistrictButtonPath(group, position, buttonPath, sizeof buttonPath)) return false;
  const int buttonId = skin->FindControlByPath(buttonPath, 0);
  TCorvioPtr<PropertyWriter> writer;
  TCorvioPtr<PropertyBag> iconBag;
  TCorvioPtr<PropertyBag> stateBag;
  if (buttonId == 0 || !writer.component || !iconBag.component || !stateBag.component) return false;
  if (icons)
    ApplySpeedIcons(skin, buttonId, writer.component,
                    SpeedBandIcons(ChooseSpeedBand(district.oper_status, latency)), iconBag.component,
                    stateBag.component);
  ApplyTooltip(skin, buttonId, writer.component, district.name, latency);
  return true;
}

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
  DistrictButtonPath(group, position, buttonPath, sizeof buttonPath);
  SafeFormat(tagPath, sizeof tagPath, sizeof tagPath - 1,
             "Dialog_ZentPorter\\Container_%s\\server%d\\Tag", container, position);

  const int buttonId = skin->FindControlByPath(buttonPath, 0);
  if (buttonId == 0) return false;

  PropertyWriter* w = writer.component;
  w->SetProperty("Visible", "true", buttonBag.component);
  skin->ApplyProperties(buttonId, buttonBag.component);
  w->SetProperty("Caption", district ? district->name : "", buttonBag.component);
  skin->ApplyProperties(buttonId, buttonBag.component);
  ApplySpeedIcons(skin, buttonId, w, SpeedBandIcons(ChooseSpeedBand(operStatus, latency)),
                  buttonBag.component, stateBag.component);
  ApplyTooltip(skin, buttonId, w, district ? district->name : "", latency);

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
