#include "SqlDialect.h"
