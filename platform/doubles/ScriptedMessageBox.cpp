#include "ScriptedMessageBox.h"
