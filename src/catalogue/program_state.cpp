#include "catalogue/program_state.h"

#include <cstring>

namespace veldan {

ProgramState g_state;

void ResetProgramState() { std::memset(&g_state, 0, sizeof g_state); }

}  // namespace veldan
