#include "app/font_warm_up.h"

#include <fontconfig/fontconfig.h>

namespace veldan {

FontWarmUp::FontWarmUp() : thread_([] { FcInit(); }) {}

FontWarmUp::~FontWarmUp() {
  thread_.join();
}

}  // namespace veldan
