#include "app/state.h"

// Zero-initialised at load time: the module runs no global constructors.
ModuleState g_state{};
ProgressFileSink g_outputSink;
