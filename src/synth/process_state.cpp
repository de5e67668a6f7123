// The one instance of the process-wide state.
#include "synth/process_state.h"

ProcessState process;
