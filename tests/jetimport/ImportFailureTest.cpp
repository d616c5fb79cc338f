#include "tests/jetimport/JetImportFixture.h"

#include <gtest/gtest.h>
