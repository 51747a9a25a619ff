// The control objects that GetControl hands out: one per control, of the interface that
// fits its kind (static text, edit box, window, or a plain control).
#pragma once

#include <memory>

#include "corvio/skin/skin_dialog_impl.h"

namespace corvio {
namespace skin {

std::unique_ptr<ControlHolder> MakeControlObject(SkinDialogImpl* dialog, Kind kind, int id);

}  // namespace skin
}  // namespace corvio
