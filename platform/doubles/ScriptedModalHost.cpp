#include "ScriptedModalHost.h"
