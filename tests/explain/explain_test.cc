#include "explain/explain.h"

#include <gtest/gtest.h>
