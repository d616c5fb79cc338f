#include "DataLinkFile.h"
