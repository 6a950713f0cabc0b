// The registry value "Output" that chooses where the engine plays; the
// program reads the same value for its menu (utils/output_value.h).
#ifndef TIVORN_KORVEL_OUTPUT_SETTING_H
#define TIVORN_KORVEL_OUTPUT_SETTING_H

#include "utils/output_value.h"

namespace korvel {

using outputs::kMaxLogPathBytes;
using outputs::OutputSetting;
using outputs::ParseOutputSetting;

}  // namespace korvel

#endif
