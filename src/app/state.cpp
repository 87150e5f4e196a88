#include "app/state.h"

// Zero-initialised at load time: the module runs no global constructors.
ModuleState g_state{};
InPlace<ProgressFileSink> g_outputSink;
