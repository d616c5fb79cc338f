#include "DatabaseFile.h"
